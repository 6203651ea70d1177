// What the desktop program answers on its command line before it does anything else.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varo {

// The text for standard output when the arguments (the program's name left out) hold --help (also
// -h) or --version, the first of them winning; nothing otherwise, every other argument being left
// alone. systemNotes and failureCauses complete the help with what differs between the systems.
std::optional<std::string> CommandLineAnswer(const std::vector<std::string>& arguments,
                                             const std::string& systemNotes,
                                             const std::string& failureCauses);

// The option of the menu's launchers: a first start shows the window, a later one asks the
// running instance to show its own.
inline constexpr char ShowWindowOption[] = "--mostra";

// Whether the arguments (the program's name left out) ask for the window to be shown.
bool AsksToShowWindow(const std::vector<std::string>& arguments);

// One warning line for standard error per argument of leftOver that starts with "-", naming it;
// leftOver is what remains once the toolkit has taken its own arguments and no answer was due.
std::vector<std::string> UnknownOptionWarnings(const std::vector<std::string>& leftOver);

}  // namespace varo
