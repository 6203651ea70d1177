// Entry of the Windows desktop program: settings folder, single instance, the hidden main window
// and its message loop.
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CrashReporter.h"
#include "platform/InstanceLock.h"
#include "platform/KnownFolders.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "records/CrashNotice.h"
#include "records/ErrorLine.h"
#include "shell/CommandLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"
#include "shell/win32/InheritedStreams.h"
#include "shell/win32/UPrincipale.h"
#include "shell/win32/Win32UserDialogs.h"
#include "shell/win32/WindowsPlaces.h"

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

// --help (also -h) and --version answer and end; every other argument is ignored, one that
// starts with "-" with a warning naming it (this program has no toolkit arguments of its own).
bool AnsweredCommandLine(const std::vector<std::string>& arguments) {
  const std::optional<std::string> answer = varo::CommandLineAnswer(arguments, "", "");
  if (answer) {
    std::fputs(answer->c_str(), stdout);
    std::fflush(stdout);
    return true;
  }
  for (const std::string& warning : varo::UnknownOptionWarnings(arguments)) {
    varo::WriteErrorLine(varo::Severity::Warning, warning);
  }
  return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything is written: the log reaches whoever redirected standard output.
  varo::BindInheritedStreams();
  // Before anything that could crash; the report goes beside the event log.
  varo::InstallCrashReporter(varo::EventLogFolder(), "quillmarch-varo-server", VARO_VERSION);
  const std::vector<std::string> arguments = Arguments();
  if (AnsweredCommandLine(arguments)) return 0;
  // The menu's launcher asks for the window: this one's, or the running instance's.
  const bool showWindow = varo::AsksToShowWindow(arguments);
  std::setlocale(LC_ALL, "");
  // Every standard-error line from here on is also kept in the user's event log, the only place
  // where this program's events stay.
  varo::DesktopEventLog eventLog;

  // Before anything else, and so also in a second instance.
  const std::string settingsFolder = varo::SettingsFolder();
  bool folderMade = false;
  try {
    folderMade = varo::MakeFolder(settingsFolder);
  } catch (const std::exception&) {
  }
  if (!folderMade) {
    varo::WriteErrorLine(varo::Severity::Warning, "cannot create the settings folder " +
                                                      settingsFolder + "; saving a port will fail");
  }

  varo::InstanceLock lock(varo::InstanceLockPath(settingsFolder), showWindow);
  if (lock.HeldElsewhere()) {
    varo::WriteErrorLine(varo::Severity::Notice,
                         "quillmarch-varo-server: an instance is already running for this user");
    return 0;
  }

  const varo::DesktopPlaces places = varo::WindowsPlaces(settingsFolder);
  varo::Win32UserDialogs dialogs;
  std::unique_ptr<varo::TFormPrincipale> window;
  try {
    window = std::make_unique<varo::TFormPrincipale>(dialogs, places);
    // Later starts of this user may ask for the window, also while a start-up message is open.
    if (lock.KnockHandle() != -1) {
      window->WatchShowRequests(static_cast<UINT>(lock.KnockHandle()), [&lock, &window] {
        if (lock.AnswerKnocks()) window->Present();
      });
    }
    window->FormCreate();
    if (showWindow) window->Present();
  } catch (const std::exception& error) {
    varo::WriteErrorLine(varo::Severity::Error,
                         std::string("quillmarch-varo-server: ") + error.what());
    dialogs.ShowMessage(places.ProgramTitle, error.what());
    return 1;
  }
  eventLog.ShowProblemsOn(&window->Server());

  // A crash of the last run is told at this start only: on standard error (so in the event log),
  // on the status line and in a balloon at the tray icon.
  if (const auto crash = varo::AnnounceEarlierCrash(varo::EventLogFolder())) {
    const std::string note = varo::texts::EarlierCrashNote(crash->Report);
    window->Server().SetNote(varo::CrashNoteKey, note);
    window->ShowTrayBalloon(note);
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  // The port is free before the lock goes, so a new instance started at once can bind it.
  window->Server().Stop();
  varo::WriteErrorLine(varo::Severity::Notice, varo::StopReport);
  lock.Release();
  eventLog.ShowProblemsOn(nullptr);
  window.reset();
  return 0;
}
