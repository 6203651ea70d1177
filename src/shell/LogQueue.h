// The log's way out: every line goes to standard output at once and waits, with others, for the
// window's log view, which takes them in one batch, since laying out each line as it comes would
// cost more than serving its request.
#pragma once

#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>

namespace varo {

// The view keeps the latest lines only, so a long run or a flood cannot exhaust memory.
inline constexpr std::size_t LogLinesKept = 10000;
// Queued lines reach the view this soon while it is visible.
inline constexpr int LogFlushMilliseconds = 100;

// The lines a view takes at once.
struct LogBatch {
  std::string Text;       // the lines, joined by the separator asked for; no end after the last
  std::size_t Lines = 0;  // how many lines Text holds
  std::size_t OldestToDrop = 0;    // lines the view must lose at its top to keep LogLinesKept
};

class LogQueue {
 public:
  // Lines go out to out as they come; standard output but in tests.
  explicit LogQueue(std::FILE* out = stdout) : out_(out) {}

  // Writes the line, made printable, to the output and queues it; true when the queue was
  // empty before, so the toolkit starts its flush timer.
  bool Add(const std::string& line);
  // Takes every queued line; the view shows them after its own, dropping OldestToDrop first.
  LogBatch Take(const std::string& separator);
  bool Empty() const { return pending_.empty(); }

 private:
  std::FILE* out_;
  std::deque<std::string> pending_;
  std::size_t inView_ = 0;
};

}  // namespace varo
