#include "records/ErrorLine.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace varo {

namespace {

std::mutex copyMutex;
std::function<void(std::string_view)> copyTo;

}  // namespace

void WriteErrorLine(Severity severity, std::string_view line) {
  // One write per line, so lines of two threads never interleave.
  std::string text(ErrorLinePrefix(severity));
  text.append(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);

  // The copy's own warnings about itself would otherwise come back to it.
  thread_local bool copying = false;
  if (copying) return;
  const std::lock_guard<std::mutex> lock(copyMutex);
  if (!copyTo) return;
  struct Copying {
    Copying() { copying = true; }
    ~Copying() { copying = false; }
  } during;
  copyTo(line);
}

void CopyErrorLines(std::function<void(std::string_view)> copy) {
  const std::lock_guard<std::mutex> lock(copyMutex);
  copyTo = std::move(copy);
}

}  // namespace varo
