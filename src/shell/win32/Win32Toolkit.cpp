#include "shell/win32/Win32Toolkit.h"

#include <utility>

#include "records/ErrorLine.h"
#include "shell/win32/WindowsPlaces.h"

namespace varo {

std::string Win32Toolkit::SettingsFolder() {
  settingsFolder_ = varo::SettingsFolder();
  return settingsFolder_;
}

bool Win32Toolkit::MakeSettingsFolder() {
  return MakeFolder(settingsFolder_);
}

std::vector<std::string> Win32Toolkit::StartToolkit(const std::vector<std::string>& arguments) {
  places_ = WindowsPlaces(settingsFolder_);
  return arguments;
}

void Win32Toolkit::WatchShowRequests(int handle, std::function<void()> knocked) {
  showRequest_ = static_cast<UINT>(handle);
  knocked_ = std::move(knocked);
  if (window_) window_->WatchShowRequests(showRequest_, knocked_);
}

DesktopServer& Win32Toolkit::MakeWindow() {
  window_ = std::make_unique<TFormPrincipale>(dialogs_, places_);
  // Before start-up's messages, in whose loop a later start's request may come.
  if (showRequest_ != 0) window_->WatchShowRequests(showRequest_, knocked_);
  window_->FormCreate();
  return window_->Server();
}

void Win32Toolkit::ReportStartUpFailure(const std::string& reason) {
  WriteErrorLine(Severity::Error, "quillmarch-varo-server: " + reason);
  dialogs_.ShowMessage(places_.ProgramTitle, reason);
}

void Win32Toolkit::ShowTrayBalloon(const std::string& text) {
  window_->ShowTrayBalloon(text);
}

void Win32Toolkit::PresentWindow() {
  if (window_) window_->Present();
}

void Win32Toolkit::RunEventLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32Toolkit::StopWatchingShowRequests() {
  showRequest_ = 0;
  knocked_ = nullptr;
  if (window_) window_->WatchShowRequests(0, nullptr);
}

void Win32Toolkit::DropWindow() {
  window_.reset();
}

}  // namespace varo
