// Linux: a path names its file by its bytes; letter case matters and there are no short names.
#include "platform/ProgramPaths.h"

namespace varo {

bool SameProgramPath(const std::string& a, const std::string& b) {
  return a == b;
}

}  // namespace varo
