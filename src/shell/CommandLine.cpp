#include "shell/CommandLine.h"

namespace varo {

std::optional<std::string> CommandLineAnswer(const std::vector<std::string>& arguments,
                                             const std::string& systemNotes,
                                             const std::string& failureCauses) {
  for (const std::string& argument : arguments) {
    if (argument == "--version") return "quillmarch-varo-server " VARO_VERSION "\n";
    if (argument != "--help" && argument != "-h") continue;
    return "usage: quillmarch-varo-server [--mostra | -h | --help | --version]\n"
           "\n"
           "Serves the stored Totocalcio and Totogol systems below the Documents\n"
           "folder to the programs that ask for them by UDP, as a single instance\n"
           "with a tray icon. A click or a double-click on the icon, or \"Mostra\"\n"
           "in its menu, shows the log of requests served and the menu\n"
           "\"Impostazioni\" with the two ports; closing the window, or \"Esci\" in\n"
           "the icon's menu, ends the program. With --mostra the window is shown\n"
           "at start, or, when an instance already runs, that one shows its window." +
           systemNotes +
           "\n\n"
           "Standard output carries one line per log entry; every other message\n"
           "goes to standard error. Other arguments starting with \"-\" are named\n"
           "in a warning and ignored.\n"
           "\n"
           "Exit codes: 0 at a normal end, or when another instance already runs;\n"
           "            1 when start-up fails" +
           failureCauses + ".\n";
  }
  return std::nullopt;
}

bool AsksToShowWindow(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == ShowWindowOption) return true;
  }
  return false;
}

std::vector<std::string> UnknownOptionWarnings(const std::vector<std::string>& leftOver) {
  std::vector<std::string> warnings;
  for (const std::string& argument : leftOver) {
    if (!argument.starts_with("-") || argument == ShowWindowOption) continue;
    warnings.push_back("quillmarch-varo-server: ignoring the unknown option \"" + argument +
                       "\" (see --help)");
  }
  return warnings;
}

}  // namespace varo
