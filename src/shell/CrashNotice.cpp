#include "shell/CrashNotice.h"

#include "platform/CrashReporter.h"
#include "platform/StandardStreams.h"

namespace varo {

std::optional<std::string> AnnounceEarlierCrash(const std::string& folder) {
  const std::string report = TakeCrashReportNotice(folder);
  if (report.empty()) return std::nullopt;
  PruneCrashReports(folder, KeptCrashReports);
  WriteErrorLine(Severity::Warning,
                 "quillmarch-varo-server: the last run ended with a crash; report: " + report);
  return "L'ultima esecuzione è terminata con un errore: rapporto in " + report;
}

}  // namespace varo
