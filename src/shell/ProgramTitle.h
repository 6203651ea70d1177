// The program's title, which captions its message boxes, derived from its executable's name.
#pragma once

#include <string>
#include <string_view>

namespace varo {

// The file name of executablePath without its folder, cut at its first dot, with every character
// after the first in lower case (ASCII letters; other bytes kept).
std::string ProgramTitle(std::string_view executablePath);

}  // namespace varo
