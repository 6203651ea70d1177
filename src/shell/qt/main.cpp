// Entry of the Linux desktop program: the standard streams made sure of, then the start-up
// sequence of both desktop programs with Qt's steps.
#include <string>
#include <vector>

#include "platform/StandardStreams.h"
#include "shell/DesktopStartUp.h"
#include "shell/qt/QtToolkit.h"

int main(int argc, char** argv) {
  // Before anything is opened, so the log never lands in a file that took a closed stream's number.
  varo::EnsureStandardStreams();
  varo::QtToolkit toolkit(argc, argv);
  return varo::RunDesktopProgram(toolkit, std::vector<std::string>(argv + 1, argv + argc));
}
