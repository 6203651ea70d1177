// Entry of the program: settings folder, single instance, the hidden main window and its loop.
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
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
#include "platform/StandardStreams.h"
#include "platform/posix/Signals.h"
#include "records/CrashNotice.h"
#include "records/ErrorLine.h"
#include "shell/CommandLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"
#include "shell/NotificationAreaWait.h"
#include "shell/qt/ApplicationIcon.h"
#include "shell/qt/DisplayPlatform.h"
#include "shell/qt/QtUserDialogs.h"
#include "shell/qt/ShellPaths.h"
#include "shell/qt/UPrincipale.h"
#include "shell/qt/VaroApplication.h"

namespace {

// --help (-h) and --version answer and end; every other argument is left alone, Qt's own among
// them.
bool AnsweredCommandLine(int argc, char** argv) {
  const std::optional<std::string> answer = varo::CommandLineAnswer(
      std::vector<std::string>(argv + 1, argv + argc),
      "\nWithout a display it serves headless; SIGTERM and SIGINT end it like\nclosing its window.",
      ", or when headless and the input port\n            cannot be used");
  if (answer) std::fputs(answer->c_str(), stdout);
  return answer.has_value();
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened, so the log never lands in a file that took a closed stream's number.
  varo::EnsureStandardStreams();
  // Before anything that could crash; the report goes beside the event log.
  varo::InstallCrashReporter(varo::EventLogFolder(), "quillmarch-varo-server", VARO_VERSION);
  if (AnsweredCommandLine(argc, argv)) return 0;
  std::setlocale(LC_ALL, "");
  varo::IgnoreBrokenPipe();
  // Every standard-error line from here on is also kept in the user's event log.
  varo::DesktopEventLog eventLog;

  // Before anything else, and so also in a second instance.
  if (!varo::EnsureSettingsFolder()) {
    varo::WriteErrorLine(varo::Severity::Warning, "cannot create the settings folder " +
                                                      varo::SettingsFolderPath() +
                                                      "; saving a port will fail");
  }

  // The menu's launcher asks for the window: this one's, or the running instance's.
  const bool showWindow = varo::AsksToShowWindow(std::vector<std::string>(argv + 1, argv + argc));
  varo::InstanceLock lock(varo::InstanceLockPath(varo::SettingsFolderPath()), showWindow);
  if (lock.HeldElsewhere()) {
    varo::WriteErrorLine(varo::Severity::Notice,
                         "quillmarch-varo-server: an instance is already running for this user");
    return 0;
  }
  if (!lock.TakenBy().empty()) {
    // Another user cannot keep this one from serving; a second instance would then go unnoticed.
    varo::WriteErrorLine(varo::Severity::Warning,
                         "quillmarch-varo-server: the single-instance name " +
                             varo::InstanceLockPath(varo::SettingsFolderPath()) + " is held by " +
                             lock.TakenBy() + "; starting without the single-instance guard");
  }

  // Caught from here on; the byte waits in the pipe until the event loop below takes it.
  int stopPipe = -1;
  try {
    stopPipe = varo::InstallStopSignalPipe();
  } catch (const std::exception& error) {
    varo::WriteErrorLine(
        varo::Severity::Warning,
        std::string(error.what()) + "; SIGTERM and SIGINT end the program abruptly");
  }

  varo::ChooseDisplayPlatform();
  varo::QtUserDialogs dialogs;
  varo::VaroApplication app(argc, argv, dialogs);
  // Qt has taken its own arguments out of argv by now; what starts with "-" is nobody's.
  for (const std::string& warning :
       varo::UnknownOptionWarnings(std::vector<std::string>(argv + 1, argv + argc))) {
    varo::WriteErrorLine(varo::Severity::Warning, warning);
  }
  // Only closing the main window ends the program, never the close of a message box.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(varo::ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("quillmarch-varo-server"));

  // A stop request by signal ends the program the way closing the window does. It is watched
  // before the window exists, since start-up may hold a message box open: then every event loop
  // is left and start-up ends without serving.
  std::unique_ptr<varo::TFormPrincipale> window;
  bool stopRequested = false;
  std::unique_ptr<QSocketNotifier> stopSignals;
  if (stopPipe >= 0) {
    stopSignals = std::make_unique<QSocketNotifier>(stopPipe, QSocketNotifier::Read);
    QObject::connect(stopSignals.get(), &QSocketNotifier::activated, &app,
                     [&window, &stopRequested, stopPipe] {
                       while (varo::TakeStopSignal(stopPipe) != 0) {
                       }
                       stopRequested = true;
                       if (window) {
                         window->close();
                       } else {
                         QCoreApplication::exit(0);
                       }
                     });
  }

  try {
    window = std::make_unique<varo::TFormPrincipale>(dialogs);
  } catch (const std::exception& error) {
    varo::ReportUnhandledError(dialogs, error.what());
    return 1;
  }
  // Dialogs from the menu stand over the window.
  dialogs.SetParent(window.get());
  // A crash of the last run is told at this start only: on standard error (so in the event log),
  // on the status line and in a balloon at the tray icon.
  if (const auto crash = varo::AnnounceEarlierCrash(varo::EventLogFolder())) {
    const std::string note = varo::texts::EarlierCrashNote(crash->Report);
    window->Server().SetNote(varo::CrashNoteKey, note);
    if (window->TrayIconAdded()) {
      window->TrayIcon->showMessage(QString::fromUtf8(varo::texts::ProductName),
                                    QString::fromStdString(note), QSystemTrayIcon::Warning);
    }
  }
  eventLog.ShowProblemsOn(&window->Server());

  // Headless nobody can choose another port, and a server that listens on nothing while it looks
  // alive would mislead whoever started it.
  if (varo::IsOffscreen() && !window->Server().Endpoint().Active()) {
    varo::WriteErrorLine(varo::Severity::Error,
                         "quillmarch-varo-server: ends, since without a display no other input "
                         "port can be chosen: " +
                             varo::StatusReport(window->Status()));
    window->Server().Stop();
    lock.Release();
    dialogs.SetParent(nullptr);
    eventLog.ShowProblemsOn(nullptr);
    window.reset();
    return 1;
  }

  // Later starts are answered as they come, so none finds the guard's queue full; one of this user
  // may ask for the window.
  std::unique_ptr<QSocketNotifier> knocks;
  if (lock.KnockHandle() >= 0) {
    knocks = std::make_unique<QSocketNotifier>(lock.KnockHandle(), QSocketNotifier::Read);
    QObject::connect(knocks.get(), &QSocketNotifier::activated, &app, [&lock, &window] {
      // Headless there is no window to show.
      if (lock.AnswerKnocks() && window && !varo::IsOffscreen()) window->Present();
    });
  }

  // Without a notification area a hidden window could be neither reached nor closed; at log-in
  // one may come a few seconds after the program, so it is waited for before the window shows.
  QTimer notificationAreaWatch;
  varo::NotificationAreaWait notificationAreaWait;
  if (!stopRequested) {
    if (showWindow && !varo::IsOffscreen()) window->Present();
    if (!varo::IsOffscreen() && !QSystemTrayIcon::isSystemTrayAvailable()) {
      notificationAreaWatch.setInterval(varo::NotificationAreaWait::CheckEvery);
      QObject::connect(&notificationAreaWatch, &QTimer::timeout, &app, [&] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
          notificationAreaWatch.stop();
        } else if (!notificationAreaWait.KeepWaiting()) {
          notificationAreaWatch.stop();
          window->Present();
        }
      });
      notificationAreaWatch.start();
    }
    QApplication::exec();
  }
  knocks.reset();

  // The port is free before the lock goes, so a new instance started at once can bind it.
  window->Server().Stop();
  varo::WriteErrorLine(varo::Severity::Notice, varo::StopReport);
  lock.Release();
  dialogs.SetParent(nullptr);
  eventLog.ShowProblemsOn(nullptr);
  window.reset();
  return 0;
}
