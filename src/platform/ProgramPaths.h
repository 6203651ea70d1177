// Program paths compared as the system compares them, so a rule that names this program by another
// spelling of its path is still known to be this program's.
#pragma once

#include <string>

namespace varo {

// Whether a and b, full paths, name the same program as the system tells programs apart. Windows:
// whatever the case of any letter (accented ones too, as the file system folds them) and whether a
// folder or the file is named by its long or its short (8.3) name. Linux: byte for byte. On Windows
// it may ask the file system for long names, so it is never called on the main thread.
bool SameProgramPath(const std::string& a, const std::string& b);

}  // namespace varo
