// The files crashes leave for later starts: the notice of the last report, and the reports kept.
#pragma once

#include <cstddef>
#include <string>

namespace varo {

// The path of the report a crash left in folder for the next start, taken, so no later start
// finds it again; "" when there is none.
std::string TakeCrashReportNotice(const std::string& folder);

// Removes the oldest reports in folder (with their minidumps), by their files' times, but the
// newest keep, so a program that crashes at every start cannot fill the disk.
void PruneCrashReports(const std::string& folder, std::size_t keep);

}  // namespace varo
