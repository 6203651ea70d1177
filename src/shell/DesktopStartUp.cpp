#include "shell/DesktopStartUp.h"

#include <clocale>
#include <cstdio>
#include <exception>
#include <optional>

#include "platform/CrashReporter.h"
#include "platform/InstanceLock.h"
#include "platform/KnownFolders.h"
#include "records/CrashNotice.h"
#include "records/ErrorLine.h"
#include "shell/CommandLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

// The end after the window was made: the event loop is over, or the start is of no use.
void End(DesktopToolkit& toolkit, DesktopServer& server, InstanceLock& lock,
         DesktopEventLog& eventLog, bool reportStop) {
  toolkit.StopWatchingShowRequests();
  // The port is free before the lock goes, so a new instance started at once can bind it.
  server.Stop();
  if (reportStop) WriteEvent(Severity::Notice, StopReport, texts::StoppedEvent);
  lock.Release();
  eventLog.ShowProblemsOn(nullptr);
  toolkit.DropWindow();
}

}  // namespace

int RunDesktopProgram(DesktopToolkit& toolkit, const std::vector<std::string>& arguments) {
  // Before anything that could crash; the report goes beside the event log.
  InstallCrashReporter(EventLogFolder(), "quillmarch-varo-server", VARO_VERSION);
  if (const std::optional<std::string> answer =
          CommandLineAnswer(arguments, toolkit.HelpNotes(), toolkit.HelpFailureCauses())) {
    std::fputs(answer->c_str(), stdout);
    std::fflush(stdout);
    return 0;
  }
  std::setlocale(LC_ALL, "");
  toolkit.PrepareProcess();
  // Every event from here on is also kept in the user's event log, in the user's words.
  DesktopEventLog eventLog;

  // Before anything else, and so also in a second instance.
  const std::string settingsFolder = toolkit.SettingsFolder();
  bool folderMade = false;
  try {
    folderMade = toolkit.MakeSettingsFolder();
  } catch (const std::exception&) {
  }
  if (!folderMade) {
    WriteEvent(Severity::Warning,
               "cannot create the settings folder " + settingsFolder + "; saving a port will fail",
               texts::SettingsFolderNotMadeEvent(settingsFolder));
  }

  // The menu's launcher asks for the window: this one's, or the running instance's.
  const bool showWindow = AsksToShowWindow(arguments);
  InstanceLock lock(InstanceLockPath(settingsFolder), showWindow);
  if (lock.HeldElsewhere()) {
    WriteErrorLine(Severity::Notice,
                   "quillmarch-varo-server: an instance is already running for this user");
    return 0;
  }
  if (!lock.TakenBy().empty()) {
    // Another user cannot keep this one from serving; a second instance would then go unnoticed.
    WriteErrorLine(Severity::Warning, "quillmarch-varo-server: the single-instance name " +
                                          InstanceLockPath(settingsFolder) + " is held by " +
                                          lock.TakenBy() +
                                          "; starting without the single-instance guard");
  }

  for (const std::string& warning : UnknownOptionWarnings(toolkit.StartToolkit(arguments))) {
    WriteErrorLine(Severity::Warning, warning);
  }

  // Later starts are answered as they come, so none finds the guard's queue full, also while a
  // message of start-up is open; one of this user may ask for the window, which is shown at once,
  // or once it is made.
  bool windowMade = false;
  bool presentAtStart = showWindow;
  if (lock.KnockHandle() != -1) {
    toolkit.WatchShowRequests(lock.KnockHandle(), [&] {
      if (!lock.AnswerKnocks()) return;
      if (windowMade) {
        toolkit.PresentWindow();
      } else {
        presentAtStart = true;
      }
    });
  }

  DesktopServer* server = nullptr;
  try {
    server = &toolkit.MakeWindow();
  } catch (const std::exception& error) {
    toolkit.ReportStartUpFailure(error.what());
    toolkit.StopWatchingShowRequests();
    toolkit.DropWindow();
    return 1;
  }
  windowMade = true;

  // The event log's problems come first on the status line. A crash of the last run is told at
  // this start only: on standard error (so in the event log), on the status line and in a balloon
  // at the tray icon.
  eventLog.ShowProblemsOn(server);
  if (const auto crash = AnnounceEarlierCrash(EventLogFolder())) {
    WriteEvent(Severity::Warning,
               "quillmarch-varo-server: the last run ended with a crash; report: " + crash->Report,
               texts::EarlierCrashNote(crash->Report));
    server->SetNote(NoteKey::Crash, texts::EarlierCrashNote(crash->Report));
    toolkit.ShowTrayBalloon(texts::EarlierCrashBalloon(crash->Report));
  }

  if (!toolkit.MayGoOn()) {
    End(toolkit, *server, lock, eventLog, false);
    return 1;
  }
  if (presentAtStart) toolkit.PresentWindow();
  toolkit.RunEventLoop();
  End(toolkit, *server, lock, eventLog, true);
  return 0;
}

}  // namespace varo
