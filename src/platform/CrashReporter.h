// Crash reports: what a crash of the process leaves in a folder for the user, and how the next
// start learns of it. Nothing is sent anywhere.
#pragma once

#include <cstddef>
#include <string>

namespace varo {

// Installs the crash reporter; called first thing in main, once. A crash from then on (Linux:
// SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT; Windows: an unhandled exception, an invalid parameter
// of the C runtime, abort; both: std::terminate) writes crash-<date>T<time>.txt into folder, made
// then if missing (on Windows also a minidump, crash-<date>T<time>.dmp), leaves the report's path
// there for the next start and tells standard error; the process then ends as it would have
// without the reporter. program and version head the report.
void InstallCrashReporter(const std::string& folder, const std::string& program,
                          const std::string& version);

// The path of the report a crash left in folder for the next start, taken, so no later start
// finds it again; "" when there is none.
std::string TakeCrashReportNotice(const std::string& folder);

// Removes the oldest reports in folder (with their minidumps) but the newest keep, so a program
// that crashes at every start cannot fill the disk.
void PruneCrashReports(const std::string& folder, std::size_t keep);

// The file in the report folder through which a crash tells the next start where its report is.
inline constexpr const char* CrashNoticeFileName = "ultimo-crash";

}  // namespace varo
