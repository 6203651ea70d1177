// The event log the user keeps: every event, one a line, with its local date, time and UTC
// offset, appended to eventi.log, which passes on to eventi.1.log past 1 MiB. A new file begins as
// the system's text files for the user do (on Windows with a UTF-8 byte-order mark).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "records/CalendarTime.h"

namespace varo {

// The log's file name inside its folder.
inline constexpr const char* EventLogName = "eventi.log";

// The size past which the log passes on to its older generation; with one older generation kept,
// the two files hold at most twice this.
inline constexpr std::uint64_t EventLogGenerationBytes = 1024 * 1024;

// One event's line without its line end: "2026-12-08T10:15:02+01:00 text" (ISO 8601), the text's
// line breaks and other control characters shown as the program's other logs show them, so one
// event stays one line.
std::string EventLogLine(const CalendarTime& time, std::string_view text);

// Why the log cannot be kept as it should.
enum class EventLogProblem {
  None,
  NotWritable,  // events reach standard error only
  NotPassedOn,  // past 1 MiB, it cannot be renamed to its older generation and grows on
};

// Whether a log of size bytes passes on to its older generation before a line of lineSize bytes is
// appended: when the line would take it past EventLogGenerationBytes, unless it is empty.
bool StartsNewGeneration(std::uint64_t size, std::uint64_t lineSize);

// The older generation beside a log file: "eventi.log" becomes "eventi.1.log".
std::string OlderGenerationOf(const std::string& path);

// The line telling of events lost while the log could not be written: "2 earlier events could not
// be written here".
std::string UnwrittenEventsLine(std::uint64_t count);

class EventLog {
 public:
  // The log eventi.log in folder (empty when the system names none); nothing is made before the
  // first event. unwritten phrases the line that tells of events lost while the log could not be
  // written, given how many.
  explicit EventLog(std::string folder,
                    std::function<std::string(std::uint64_t)> unwritten = UnwrittenEventsLine);
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Appends text as one event of this moment, making the folder when missing. A log that cannot be
  // written tells standard error once, not at every event, and the next event tries again;
  // nothing is thrown.
  void Write(std::string_view text);

  // Makes the folder and the file (empty when new) exist, so a viewer can open it; returns its
  // path. Throws std::system_error.
  std::string Prepare();

  const std::string& Path() const { return path_; }

  // Calls changed, on the thread that wrote the event, with why the log cannot be kept as it
  // should, EventLogProblem::None once it can again; at once if there is such a problem now.
  void OnProblemChanged(std::function<void(EventLogProblem)> changed);

 private:
  // Appends bytes, passing the file on first when due; returns why passing it on failed, or "".
  // Throws std::system_error when the bytes are not written.
  std::string Append(const std::string& bytes);

  const std::string folder_;
  const std::string path_;
  const std::function<std::string(std::uint64_t)> unwrittenLine_;
  std::mutex mutex_;
  EventLogProblem problem_ = EventLogProblem::None;
  std::uint64_t unwritten_ = 0;  // events lost to the file since it last took one
  std::function<void(EventLogProblem)> changed_;
};

}  // namespace varo
