// What the desktop program answers on its command line before it does anything else.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varo {

// The text for standard output when the arguments (the program's name left out) hold --help or
// --version, the first of them winning; nothing otherwise, every other argument being left alone.
// systemNotes and failureCauses complete the help with what differs between the systems.
std::optional<std::string> CommandLineAnswer(const std::vector<std::string>& arguments,
                                             const std::string& systemNotes,
                                             const std::string& failureCauses);

}  // namespace varo
