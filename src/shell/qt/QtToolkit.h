// The Qt program's own steps of start-up (RunDesktopProgram): stop signals on a pipe, the
// application object with its arguments and display, the main window, a headless start's end, and
// the event loop with the wait for a notification area.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/DesktopStartUp.h"
#include "shell/qt/QtUserDialogs.h"

class QSocketNotifier;
class QTranslator;

namespace varo {

class TFormPrincipale;
class VaroApplication;

class QtToolkit : public DesktopToolkit {
 public:
  // argc and argv are main's: the application object takes Qt's own arguments out of them.
  QtToolkit(int& argc, char** argv);
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  std::string HelpNotes() const override;
  std::string HelpFailureCauses() const override;
  // Writes to a closed pipe or socket fail instead of ending the program.
  void PrepareProcess() override;
  std::string SettingsFolder() override;
  bool MakeSettingsFolder() override;
  // The signal pipe, the display platform and the application object; arguments are read from
  // argv, which then holds what Qt left.
  std::vector<std::string> StartToolkit(const std::vector<std::string>& arguments) override;
  // Watches the guard's listening socket.
  void WatchShowRequests(int handle, std::function<void()> knocked) override;
  DesktopServer& MakeWindow() override;
  void ReportStartUpFailure(const std::string& reason) override;
  // Only while the icon is in a notification area.
  void ShowTrayBalloon(const std::string& text) override;
  // Headless, with no input port bound: nobody could choose another one.
  bool MayGoOn() override;
  void PresentWindow() override;
  void RunEventLoop() override;
  void StopWatchingShowRequests() override;
  void DropWindow() override;

 private:
  int& argc_;
  char** argv_;
  QtUserDialogs dialogs_;
  std::unique_ptr<VaroApplication> app_;
  std::unique_ptr<QTranslator> qtWords_;  // after the application, which it must not outlive
  std::unique_ptr<QSocketNotifier> stopSignals_;
  bool stopRequested_ = false;
  std::unique_ptr<TFormPrincipale> window_;
  std::unique_ptr<QSocketNotifier> knocks_;
};

}  // namespace varo
