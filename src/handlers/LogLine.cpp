#include "LogLine.h"

#include "platform/TimeStamp.h"
#include "records/ErrorLine.h"

namespace varo {

void ActivityLog::Notice(const std::string& line) {
  WriteErrorLine(Severity::Notice, line);
}

void ActivityLog::Warning(const std::string& line) {
  WriteErrorLine(Severity::Warning, line);
}

void AppendStamped(ActivityLog& log, const std::string& text) {
  log.Append(text + " [" + LocalTimeOfDay() + "]");
}

}  // namespace varo
