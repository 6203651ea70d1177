#include "LogLine.h"

#include "endpoint/ReceivedDatagram.h"
#include "platform/TimeStamp.h"
#include "records/CalendarTime.h"
#include "records/ErrorLine.h"
#include "records/Printable.h"

namespace varo {

void ActivityLog::Notice(const std::string& line) {
  WriteErrorLine(Severity::Notice, line);
}

void ActivityLog::Warning(const std::string& line) {
  WriteErrorLine(Severity::Warning, line);
}

void ActivityLog::NoticeEvent(const std::string& line, const std::string& event) {
  WriteEvent(Severity::Notice, line, event);
}

void ActivityLog::WarningEvent(const std::string& line, const std::string& event) {
  WriteEvent(Severity::Warning, line, event);
}

void ActivityLog::Deleted(const DeletedSystem& deleted) {
  Notice(DeletionReport(deleted));
  Notice(DisposalReport(deleted));
}

std::string DeletionReport(const DeletedSystem& deleted) {
  char stamp[IsoTimeCapacity];
  FixedText when(stamp, sizeof stamp);
  AddDateAndTime(when, LocalClockNow());
  return std::string(when.View()) + " deleted at the request of " +
         DottedQuad(deleted.SenderAddress) + " port " + std::to_string(deleted.SenderPort) + ": " +
         Printable(deleted.Path);
}

std::string DisposalReport(const DeletedSystem& deleted) {
  return (deleted.Where == Disposal::Trashed ? "moved to the trash: " : "deleted for good: ") +
         Printable(deleted.Path);
}

void AppendStamped(ActivityLog& log, const std::string& text) {
  log.Append(text + " [" + LocalTimeOfDay() + "]");
}

}  // namespace varo
