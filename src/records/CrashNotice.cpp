#include "records/CrashNotice.h"

#include "records/CrashReportFiles.h"
#include "records/ErrorLine.h"

namespace varo {

std::optional<EarlierCrash> AnnounceEarlierCrash(const std::string& folder) {
  std::string report = TakeCrashReportNotice(folder);
  if (report.empty()) return std::nullopt;
  PruneCrashReports(folder, KeptCrashReports);
  WriteErrorLine(Severity::Warning,
                 "quillmarch-varo-server: the last run ended with a crash; report: " + report);
  return EarlierCrash{std::move(report)};
}

}  // namespace varo
