#include "records/EventLog.h"

#include <exception>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/AppendedFile.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/TimeStamp.h"
#include "records/ErrorLine.h"
#include "records/Printable.h"

namespace varo {

std::string EventLogLine(const CalendarTime& time, std::string_view text) {
  char stamp[IsoTimeCapacity];
  FixedText iso(stamp, sizeof stamp);
  AddIsoTime(iso, time);
  // A line break inside a name or a message would start what reads as another event.
  std::string line(iso.View());
  line.push_back(' ');
  line.append(EventText(text));
  return line;
}

bool StartsNewGeneration(std::uint64_t size, std::uint64_t lineSize) {
  return size > 0 && size + lineSize > EventLogGenerationBytes;
}

std::string OlderGenerationOf(const std::string& path) {
  constexpr std::string_view extension = ".log";
  if (!path.ends_with(extension)) return path + ".1";
  return path.substr(0, path.size() - extension.size()) + ".1.log";
}

std::string UnwrittenEventsLine(std::uint64_t count) {
  return std::to_string(count) + " earlier event" + (count == 1 ? "" : "s") +
         " could not be written here";
}

EventLog::EventLog(std::string folder, std::function<std::string(std::uint64_t)> unwritten)
    : folder_(std::move(folder)),
      path_(folder_.empty() ? "" : JoinPath(folder_, EventLogName)),
      unwrittenLine_(std::move(unwritten)) {}

void EventLog::Write(std::string_view text) {
  std::string line = EventLogLine(LocalClockNow(), text);
  line.append(NewFileLineEnd());
  std::string warning;
  std::string recovered;
  EventLogProblem problem = EventLogProblem::None;
  std::function<void(EventLogProblem)> tell;  // set when the problem changed
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string bytes = line;
    if (unwritten_ > 0) {
      // The gap is told where it is, so a missing deletion never goes unnoticed.
      bytes = EventLogLine(LocalClockNow(), unwrittenLine_(unwritten_)) +
              std::string(NewFileLineEnd()) + line;
    }
    EventLogProblem now = EventLogProblem::None;
    try {
      const std::string passOnFailure = Append(bytes);
      if (!passOnFailure.empty()) {
        now = EventLogProblem::NotPassedOn;
        if (now != problem_) {
          warning = "cannot rename the event log to " + OlderGenerationOf(path_) + ": " +
                    passOnFailure + "; it grows past 1 MiB until it can be renamed";
        }
      }
      if (unwritten_ > 0) {
        recovered = "the event log " + path_ + " is written again; " + std::to_string(unwritten_) +
                    " events in between reached standard error only";
      }
      unwritten_ = 0;
    } catch (const std::exception& error) {
      ++unwritten_;
      // Standard error names the file and the cause; the status line only what it means.
      now = EventLogProblem::NotWritable;
      if (now != problem_) {
        warning = "cannot write the event log: " + std::string(error.what()) +
                  "; events reach standard error only until it can be written again";
      }
    }
    if (now != problem_) {
      problem_ = now;
      problem = now;
      tell = changed_;
    }
  }
  // Standard error only: these lines are about the log itself.
  if (!warning.empty()) WriteErrorLine(Severity::Warning, warning);
  if (!recovered.empty()) WriteErrorLine(Severity::Notice, recovered);
  if (tell) tell(problem);
}

std::string EventLog::Append(const std::string& bytes) {
  if (folder_.empty()) {
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                            "the system names no folder for it");
  }
  std::string passOnFailure;
  const std::optional<std::uint64_t> size = SizeOfFile(path_);
  bool fresh = !size || *size == 0;
  if (size && StartsNewGeneration(*size, bytes.size())) {
    try {
      RenameReplacing(path_, OlderGenerationOf(path_));
      fresh = true;
    } catch (const std::system_error& error) {
      // Nothing is lost for it: the line still goes into the file, which grows on.
      passOnFailure = error.what();
    }
  }
  if (!size) MakeFolders(folder_);  // made when first needed, and again if it went
  AppendToFile(path_, fresh ? std::string(NewTextFileStart()) + bytes : bytes, NewFileLineEnd());
  return passOnFailure;
}

std::string EventLog::Prepare() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (folder_.empty()) {
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                            "the system names no folder for the event log");
  }
  MakeFolders(folder_);
  AppendToFile(path_, "", NewFileLineEnd());
  return path_;
}

void EventLog::OnProblemChanged(std::function<void(EventLogProblem)> changed) {
  EventLogProblem problem = EventLogProblem::None;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    changed_ = changed;
    problem = problem_;
  }
  if (problem != EventLogProblem::None && changed) changed(problem);
}

}  // namespace varo
