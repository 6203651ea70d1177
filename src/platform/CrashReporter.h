// Crash reports: what a crash of the process leaves in a folder for the user. Nothing is sent
// anywhere.
#pragma once

#include <string>

namespace varo {

// Installs the crash reporter; called first thing in main, once. A crash from then on (Linux:
// SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT; Windows: an unhandled exception, an invalid parameter
// of the C runtime, abort; both: std::terminate) writes crash-<date>T<time>.txt into folder, made
// then if missing (on Windows also a minidump, crash-<date>T<time>.dmp, by a thread made here,
// waited for 10 seconds at most), leaves the report's path there for the next start and tells
// standard error; the process then ends as it would have without the reporter. program and
// version head the report.
void InstallCrashReporter(const std::string& folder, const std::string& program,
                          const std::string& version);

// Takes the offset from UTC in force now for the time a crash report carries, where the crashing
// process can read it without a lock: the programs call it every minute and at every event, so a
// report after a change to or from summer time is stamped right. Windows reads the offset at the
// crash itself, so there it does nothing.
void KeepCrashTimeCurrent();

// Gives the calling thread room to report a crash of its own, a stack overflow among them: every
// thread the program starts calls it first (the installing thread has it already). Linux: a
// signal stack for the thread; Windows: a stack guarantee.
void PrepareThreadForCrashReports();

}  // namespace varo
