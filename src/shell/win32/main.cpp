// Entry of the Windows desktop program: settings folder, single instance, the hidden main window
// and its message loop.
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "platform/InstanceLock.h"
#include "platform/win32/Windows.h"
#include "shell/win32/InheritedStreams.h"
#include "shell/win32/UPrincipale.h"
#include "shell/win32/Win32UserDialogs.h"
#include "shell/win32/WindowsPlaces.h"

// After windows.h, on which it builds.
#include <shellapi.h>

namespace {

constexpr const char* Usage =
    "usage: quillmarch-varo-server [--help | --version]\n"
    "\n"
    "Serves the stored Totocalcio and Totogol systems below the Documents folder to the\n"
    "programs that ask for them by UDP, as a single instance with a tray icon. A double-click\n"
    "on the icon shows the log of requests served and the menu \"Impostazioni\" with the two\n"
    "ports; closing the window ends the program.\n"
    "\n"
    "Standard output, when the program is given one, carries one line per log entry; every\n"
    "other message goes to standard error.\n"
    "\n"
    "Exit codes: 0 at a normal end, or when another instance already runs;\n"
    "            1 when start-up fails.\n";

// --help and --version answer and end; every other argument is ignored.
bool AnsweredCommandLine() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return false;
  bool answered = false;
  for (int i = 1; i < count && !answered; ++i) {
    const std::wstring_view argument = arguments[i];
    if (argument == L"--help") {
      std::fputs(Usage, stdout);
      answered = true;
    } else if (argument == L"--version") {
      std::puts("quillmarch-varo-server " VARO_VERSION);
      answered = true;
    }
  }
  LocalFree(arguments);
  std::fflush(stdout);
  return answered;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything is written: the log reaches whoever redirected standard output.
  varo::BindInheritedStreams();
  if (AnsweredCommandLine()) return 0;
  std::setlocale(LC_ALL, "");

  // Before anything else, and so also in a second instance.
  const std::string settingsFolder = varo::SettingsFolder();
  bool folderMade = false;
  try {
    folderMade = varo::MakeFolder(settingsFolder);
  } catch (const std::exception&) {
  }
  if (!folderMade) {
    std::fprintf(stderr, "cannot create the settings folder %s; saving a port will fail\n",
                 settingsFolder.c_str());
  }

  varo::InstanceLock lock(varo::InstanceLockPath(settingsFolder));
  if (lock.HeldElsewhere()) {
    std::fputs("quillmarch-varo-server: an instance is already running for this user\n", stderr);
    return 0;
  }

  const varo::DesktopPlaces places = varo::WindowsPlaces(settingsFolder);
  varo::Win32UserDialogs dialogs;
  std::unique_ptr<varo::TFormPrincipale> window;
  try {
    window = std::make_unique<varo::TFormPrincipale>(dialogs, places);
    window->FormCreate();
  } catch (const std::exception& error) {
    dialogs.ShowMessage(places.ProgramTitle, error.what());
    return 1;
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  // The port is free before the lock goes, so a new instance started at once can bind it.
  window->Server().Stop();
  lock.Release();
  window.reset();
  return 0;
}
