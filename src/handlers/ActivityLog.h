// The sink of the ActivityLog: the handlers append whole lines, the shell shows and prints them.
#pragma once

#include <string>

namespace varo {

class ActivityLog {
 public:
  virtual ~ActivityLog() = default;
  // Appends one finished line (its time stamp included, no line end).
  virtual void Append(const std::string& line) = 0;
  // Tells the operator, beside the log: standard error, never the log's own lines.
  virtual void Notice(const std::string& line);
  // Warns the operator of something to put right, beside the log: standard error, as a warning.
  virtual void Warning(const std::string& line);
};

}  // namespace varo
