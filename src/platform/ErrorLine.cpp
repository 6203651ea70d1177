#include <cstdio>
#include <string>

#include "platform/StandardStreams.h"

namespace varo {

void WriteErrorLine(Severity severity, std::string_view line) {
  // One write per line, so lines of two threads never interleave.
  std::string text(ErrorLinePrefix(severity));
  text.append(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace varo
