// The program's icon in the notification area, with its tip; events come to the owning window
// as Message, the mouse event in lParam.
#pragma once

#include <string>

#include "platform/win32/Windows.h"

// After windows.h, on which it builds.
#include <shellapi.h>

namespace varo {

class TrayIcon {
 public:
  static constexpr UINT Message = WM_APP + 2;

  // Describes the icon; nothing is shown before Add.
  TrayIcon(HWND owner, HICON icon, const std::wstring& tip);
  // Removes the icon if it is shown.
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Puts the icon into the notification area; false when there is none to take it.
  bool Add();
  // Takes the icon out of the notification area.
  void Remove();
  // Whether the icon was added and not removed since.
  bool Shown() const { return shown_; }

 private:
  NOTIFYICONDATAW data_{};
  bool shown_ = false;
};

}  // namespace varo
