// The Windows program's own steps of start-up (RunDesktopProgram): the settings folder below the
// roaming application data, the native main window, which also takes the guard's show requests,
// and the message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Windows.h"
#include "shell/DesktopServer.h"
#include "shell/DesktopStartUp.h"
#include "shell/win32/UPrincipale.h"
#include "shell/win32/Win32UserDialogs.h"

namespace varo {

class Win32Toolkit : public DesktopToolkit {
 public:
  Win32Toolkit() = default;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  // Nothing to add: no toolkit arguments, no headless start.
  std::string HelpNotes() const override { return ""; }
  std::string HelpFailureCauses() const override { return ""; }
  std::string SettingsFolder() override;
  bool MakeSettingsFolder() override;
  // Finds where the program keeps its files and the title its messages carry; a native program
  // has no arguments of its own, so all are left.
  std::vector<std::string> StartToolkit(const std::vector<std::string>& arguments) override;
  // handle is the registered window message; the window passes it on once it exists.
  void WatchShowRequests(int handle, std::function<void()> knocked) override;
  DesktopServer& MakeWindow() override;
  void ReportStartUpFailure(const std::string& reason) override;
  // Now, or when the icon is added.
  void ShowTrayBalloon(const std::string& text) override;
  void PresentWindow() override;
  void RunEventLoop() override;
  void StopWatchingShowRequests() override;
  void DropWindow() override;

 private:
  std::string settingsFolder_;
  DesktopPlaces places_;
  Win32UserDialogs dialogs_;
  UINT showRequest_ = 0;
  std::function<void()> knocked_;
  std::unique_ptr<TFormPrincipale> window_;
};

}  // namespace varo
