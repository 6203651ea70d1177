// Building and splitting paths with the system's own folder separators.
#pragma once

#include <string>
#include <string_view>

namespace varo {

// The path of name inside folder: the two joined by the system's separator ("/" on Linux, "\" on
// Windows), nothing else added or taken away.
std::string JoinPath(std::string_view folder, std::string_view name);

// The file name of a path: the part after its last separator ("/" on Linux, where "\" is an
// ordinary character of a name; "\" or "/" on Windows).
std::string_view FileNameOf(std::string_view path);

}  // namespace varo
