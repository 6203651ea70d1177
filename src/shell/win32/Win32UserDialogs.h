// The user's dialogs as Windows shows them: the port dialog from an in-memory template, messages
// in a message box. Every message also goes to standard error when the process has one.
#pragma once

#include "platform/win32/Windows.h"
#include "shell/UserDialogs.h"

namespace varo {

class Win32UserDialogs : public UserDialogs {
 public:
  // Dialogs from now on are modal over owner (nullptr: over nothing).
  void SetOwner(HWND owner) { owner_ = owner; }

  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& prefilled) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;

 private:
  HWND owner_ = nullptr;
};

// The rectangle of the given size centred on the work area of the monitor nearest to window.
RECT CentredOnWorkArea(HWND window, int width, int height);

}  // namespace varo
