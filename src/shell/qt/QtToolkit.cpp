#include "shell/qt/QtToolkit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <exception>
#include <utility>

#include "platform/posix/Signals.h"
#include "records/ErrorLine.h"
#include "shell/ListenerStatus.h"
#include "shell/NotificationAreaWait.h"
#include "shell/qt/ApplicationIcon.h"
#include "shell/qt/DisplayPlatform.h"
#include "shell/qt/ShellPaths.h"
#include "shell/qt/UPrincipale.h"
#include "shell/qt/VaroApplication.h"

namespace varo {

QtToolkit::QtToolkit(int& argc, char** argv) : argc_(argc), argv_(argv) {}

QtToolkit::~QtToolkit() = default;

std::string QtToolkit::HelpNotes() const {
  return "\nWithout a display it serves headless; SIGTERM and SIGINT end it like\nclosing its "
         "window.";
}

std::string QtToolkit::HelpFailureCauses() const {
  return ", or when headless and the input port\n            cannot be used";
}

void QtToolkit::PrepareProcess() {
  IgnoreBrokenPipe();
}

std::string QtToolkit::SettingsFolder() {
  return SettingsFolderPath();
}

bool QtToolkit::MakeSettingsFolder() {
  return EnsureSettingsFolder();
}

std::vector<std::string> QtToolkit::StartToolkit(const std::vector<std::string>& /*arguments*/) {
  // Caught from here on; the byte waits in the pipe until an event loop takes it.
  int stopPipe = -1;
  try {
    stopPipe = InstallStopSignalPipe();
  } catch (const std::exception& error) {
    WriteErrorLine(Severity::Warning,
                   std::string(error.what()) + "; SIGTERM and SIGINT end the program abruptly");
  }

  ChooseDisplayPlatform();
  app_ = std::make_unique<VaroApplication>(argc_, argv_, dialogs_);
  // Only closing the main window ends the program, never the close of a message box.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ApplicationIcon());
  // Qt's own words (the log's menu, standard buttons) in the user's language, when its
  // translations are installed; English otherwise.
  qtWords_ = std::make_unique<QTranslator>();
  LoadQtWords(*qtWords_, QLocale());
  QGuiApplication::setDesktopFileName(QStringLiteral("quillmarch-varo-server"));

  // A stop request by signal ends the program the way closing the window does. It is watched
  // before the window exists, since start-up may hold a message box open: then every event loop
  // is left and start-up ends without serving.
  if (stopPipe >= 0) {
    stopSignals_ = std::make_unique<QSocketNotifier>(stopPipe, QSocketNotifier::Read);
    QObject::connect(stopSignals_.get(), &QSocketNotifier::activated, app_.get(), [this, stopPipe] {
      while (TakeStopSignal(stopPipe) != 0) {
      }
      stopRequested_ = true;
      if (window_) {
        window_->close();
      } else {
        QCoreApplication::exit(0);
      }
    });
  }
  // Qt has taken its own arguments out of argv by now; what starts with "-" is nobody's.
  return std::vector<std::string>(argv_ + 1, argv_ + argc_);
}

void QtToolkit::WatchShowRequests(int handle, std::function<void()> knocked) {
  knocks_ = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
  QObject::connect(knocks_.get(), &QSocketNotifier::activated, app_.get(), std::move(knocked));
}

DesktopServer& QtToolkit::MakeWindow() {
  window_ = std::make_unique<TFormPrincipale>(dialogs_);
  // Dialogs from the menu stand over the window.
  dialogs_.SetParent(window_.get());
  return window_->Server();
}

void QtToolkit::ReportStartUpFailure(const std::string& reason) {
  ReportUnhandledError(dialogs_, reason);
}

void QtToolkit::ShowTrayBalloon(const std::string& text) {
  window_->ShowTrayBalloon(QString::fromStdString(text));
}

bool QtToolkit::MayGoOn() {
  // Headless nobody can choose another port, and a server that listens on nothing while it looks
  // alive would mislead whoever started it.
  if (!IsOffscreen() || window_->Server().Endpoint().Active()) return true;
  WriteErrorLine(Severity::Error,
                 "quillmarch-varo-server: ends, since without a display no other input port can "
                 "be chosen: " +
                     StatusReport(window_->Status()));
  return false;
}

void QtToolkit::PresentWindow() {
  // Headless there is no window to show.
  if (window_ && !stopRequested_ && !IsOffscreen()) window_->Present();
}

void QtToolkit::RunEventLoop() {
  if (stopRequested_) return;
  // Without a notification area a hidden window could be neither reached nor closed; at log-in
  // one may come a few seconds after the program, so it is waited for before the window shows.
  QTimer notificationAreaWatch;
  NotificationAreaWait notificationAreaWait;
  if (!IsOffscreen() && !window_->FindNotificationArea()) {
    notificationAreaWatch.setInterval(NotificationAreaWait::CheckEvery);
    QObject::connect(&notificationAreaWatch, &QTimer::timeout, app_.get(), [&] {
      if (window_->FindNotificationArea()) {
        notificationAreaWatch.stop();
      } else if (!notificationAreaWait.KeepWaiting()) {
        notificationAreaWatch.stop();
        window_->Present();
      }
    });
    notificationAreaWatch.start();
  }
  QApplication::exec();
}

void QtToolkit::StopWatchingShowRequests() {
  knocks_.reset();
}

void QtToolkit::DropWindow() {
  dialogs_.SetParent(nullptr);
  window_.reset();
}

}  // namespace varo
