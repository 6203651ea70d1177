#include "platform/StandardStreams.h"

namespace varo {

void EnsureStandardStreams() {
  // Nothing to do on Windows: files are opened as handles, never under the lowest free number, so
  // no file the program opens can take the place of a missing standard stream, and the C runtime
  // drops writes to a stream the process was started without.
}

std::string_view ErrorLinePrefix(Severity) {
  return {};  // no journal reads Windows' standard error
}

}  // namespace varo
