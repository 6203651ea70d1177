// Entry of the Windows desktop program: the inherited streams bound and the arguments read, then
// the start-up sequence of both desktop programs with the native window's steps.
#include <string>
#include <vector>

#include "platform/ShellApartment.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "shell/DesktopStartUp.h"
#include "shell/win32/InheritedStreams.h"
#include "shell/win32/Win32Toolkit.h"

// After windows.h, on which it builds.
#include <shellapi.h>

namespace {

// The arguments, the program's name left out.
std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {};
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(varo::win32::Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything is written: the log reaches whoever redirected standard output.
  varo::BindInheritedStreams();
  // Before any shell call (the event log's viewer, the Recycle Bin), all on this thread; left once
  // the window and its server are gone. The firewall's policy is read on a thread of its own.
  varo::ShellApartment apartment;
  varo::Win32Toolkit toolkit;
  return varo::RunDesktopProgram(toolkit, Arguments());
}
