// Entry of the program: settings folder, single instance, the hidden main window and its loop.
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/InstanceLock.h"
#include "platform/Signals.h"
#include "platform/StandardStreams.h"
#include "shell/ApplicationIcon.h"
#include "shell/DisplayPlatform.h"
#include "shell/ShellPaths.h"
#include "shell/UPrincipale.h"
#include "shell/UserDialogs.h"
#include "shell/VaroApplication.h"

int main(int argc, char** argv) {
  // Before anything is opened, so the log never lands in a file that took a closed stream's number.
  varo::EnsureStandardStreams();
  std::setlocale(LC_ALL, "");
  varo::IgnoreBrokenPipe();

  // Before anything else, and so also in a second instance.
  if (!varo::EnsureSettingsFolder()) {
    std::fprintf(stderr, "cannot create the settings folder %s; saving a port will fail\n",
                 varo::SettingsFolderPath().c_str());
  }

  varo::InstanceLock lock(varo::InstanceLockPath(varo::SettingsFolderPath()));
  if (lock.HeldElsewhere()) return 0;

  // Caught from here on; the byte waits in the pipe until the event loop below takes it.
  int stopPipe = -1;
  try {
    stopPipe = varo::InstallStopSignalPipe();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s; SIGTERM and SIGINT end the program abruptly\n", error.what());
  }

  varo::ChooseDisplayPlatform();
  varo::QtUserDialogs dialogs;
  varo::VaroApplication app(argc, argv, dialogs);
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
    varo::ReportUnhandledError(dialogs, QString::fromLocal8Bit(error.what()));
    return 1;
  }

  if (!stopRequested) {
    // Without a notification area a hidden window could be neither reached nor closed.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) window->Present();
    QApplication::exec();
  }

  // The port is free before the lock goes, so a new instance started at once can bind it.
  window->UDPServer->Deactivate();
  lock.Release();
  window.reset();
  return 0;
}
