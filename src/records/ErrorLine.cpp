#include "records/ErrorLine.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/CrashReporter.h"
#include "records/Printable.h"

namespace varo {

namespace {

std::mutex keepMutex;
std::function<void(std::string_view)> keepTo;

}  // namespace

void WriteErrorLine(Severity severity, std::string_view line) {
  // One write per line, so lines of two threads never interleave.
  std::string text(ErrorLinePrefix(severity));
  // A line break or a bidirectional control in a name would forge or reorder an operator's line.
  text.append(EventText(line));
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void WriteEvent(Severity severity, std::string_view line, std::string_view event) {
  // An event is a moment a crash report's time may follow.
  KeepCrashTimeCurrent();
  WriteErrorLine(severity, line);
  // The keeper's own warnings about itself would otherwise come back to it.
  thread_local bool keeping = false;
  if (keeping) return;
  const std::lock_guard<std::mutex> lock(keepMutex);
  if (!keepTo) return;
  struct Keeping {
    Keeping() { keeping = true; }
    ~Keeping() { keeping = false; }
  } during;
  keepTo(event);
}

void KeepEvents(std::function<void(std::string_view)> keep) {
  const std::lock_guard<std::mutex> lock(keepMutex);
  keepTo = std::move(keep);
}

}  // namespace varo
