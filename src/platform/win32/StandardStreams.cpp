#include "platform/StandardStreams.h"

#include <cstdio>
#include <string>

namespace varo {

void EnsureStandardStreams() {
  // Nothing to do on Windows: files are opened as handles, never under the lowest free number, so
  // no file the program opens can take the place of a missing standard stream, and the C runtime
  // drops writes to a stream the process was started without.
}

std::string_view ErrorLinePrefix(Severity) {
  return {};  // no journal reads Windows' standard error
}

void WriteErrorLine(Severity severity, std::string_view line) {
  std::string text(ErrorLinePrefix(severity));
  text.append(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace varo
