// The sink of the ActivityLog: the handlers append whole lines, the shell shows and prints them.
#pragma once

#include <cstdint>
#include <string>

#include "archive/SystemFileActions.h"

namespace varo {

// A system deleted at a client's request: who asked, what went and where it went.
struct DeletedSystem {
  std::uint32_t SenderAddress = 0;  // network byte order, as received
  std::uint16_t SenderPort = 0;
  std::string Path;
  Disposal Where = Disposal::DeletedForGood;
};

// Standard error's lines about a deletion: the date and time, who asked and the path; then where
// the file went.
std::string DeletionReport(const DeletedSystem& deleted);
std::string DisposalReport(const DeletedSystem& deleted);

class ActivityLog {
 public:
  virtual ~ActivityLog() = default;
  // Appends one finished line (its time stamp included, no line end).
  virtual void Append(const std::string& line) = 0;
  // Tells the operator, beside the log: standard error, never the log's own lines.
  virtual void Notice(const std::string& line);
  // Warns the operator of something to put right, beside the log: standard error, as a warning.
  virtual void Warning(const std::string& line);
  // Tells the operator of an event as Notice or Warning does, and keeps event, the same in the
  // user's words, in the desktop program's event log.
  virtual void NoticeEvent(const std::string& line, const std::string& event);
  virtual void WarningEvent(const std::string& line, const std::string& event);
  // A system deleted at a client's request, which the operator must be able to trace: standard
  // error hears DeletionReport and DisposalReport.
  virtual void Deleted(const DeletedSystem& deleted);
};

}  // namespace varo
