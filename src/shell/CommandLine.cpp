#include "shell/CommandLine.h"

namespace varo {

std::optional<std::string> CommandLineAnswer(const std::vector<std::string>& arguments,
                                             const std::string& systemNotes,
                                             const std::string& failureCauses) {
  for (const std::string& argument : arguments) {
    if (argument == "--version") return "quillmarch-varo-server " VARO_VERSION "\n";
    if (argument != "--help") continue;
    return "usage: quillmarch-varo-server [--help | --version]\n"
           "\n"
           "Serves the stored Totocalcio and Totogol systems below the Documents\n"
           "folder to the programs that ask for them by UDP, as a single instance\n"
           "with a tray icon. A double-click on the icon shows the log of requests\n"
           "served and the menu \"Impostazioni\" with the two ports; closing the\n"
           "window ends the program." +
           systemNotes +
           "\n\n"
           "Standard output carries one line per log entry; every other message\n"
           "goes to standard error.\n"
           "\n"
           "Exit codes: 0 at a normal end, or when another instance already runs;\n"
           "            1 when start-up fails" +
           failureCauses + ".\n";
  }
  return std::nullopt;
}

}  // namespace varo
