#include "records/CrashNotice.h"

#include "records/CrashReportFiles.h"

namespace varo {

std::optional<EarlierCrash> AnnounceEarlierCrash(const std::string& folder) {
  std::string report = TakeCrashReportNotice(folder);
  if (report.empty()) return std::nullopt;
  PruneCrashReports(folder, KeptCrashReports);
  return EarlierCrash{std::move(report)};
}

}  // namespace varo
