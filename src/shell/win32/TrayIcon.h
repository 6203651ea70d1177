// The program's icon in the notification area, with its tip and its menu; events come to the
// owning window as Message, read the NOTIFYICON_VERSION_4 way: the event in LOWORD(lParam), the
// point it happened at in wParam.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32/Windows.h"
#include "shell/ListenerStatus.h"
#include "shell/win32/ProgramIcon.h"

// After windows.h, on which it builds.
#include <shellapi.h>

namespace varo {

class TrayIcon {
 public:
  static constexpr UINT Message = WM_APP + 2;
  // The UTF-16 units a tip holds (szTip, less its terminator).
  static constexpr std::size_t TipLimit = 127;
  // The tip's field as this system's notification area reads it.
  static TipField Tip();

  // What an event of the icon asks of the program.
  enum class Request { None, Show, Menu };
  // The request of an event's lParam: a click, a double-click or the keyboard's choice shows the
  // window; a right-click or the menu key asks for the menu.
  static Request RequestOf(LPARAM lParam);

  // Describes the icon, the program's own at the small icons' size at dpi; nothing is shown before
  // Add.
  TrayIcon(HWND owner, const std::wstring& tip, UINT dpi);
  // Removes the icon if it is shown.
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Puts the icon into the notification area; false when there is none to take it.
  bool Add();
  // Changes the tip, written for Tip() (cut to what the notification area holds, never inside a
  // character), at once when the icon is shown.
  void SetTip(const std::wstring& tip);
  // Shows the icon with a warning mark while warning is true, so a glance at the notification area
  // tells whether all is well.
  void SetWarning(bool warning);
  // Loads both looks again at the small icons' size at dpi, the owner's dots per inch.
  void LoadIcons(UINT dpi);
  // Takes the icon out of the notification area.
  void Remove();
  // Shows a balloon with a warning's icon beside the icon, once: now if the icon is shown, else
  // when it is next added. Texts too long for the balloon are cut.
  void ShowBalloon(const std::wstring& title, const std::wstring& text);
  // Whether the icon was added and not removed since.
  bool Shown() const { return shown_; }
  // The icon the notification area is given: the look in force.
  HICON Icon() const { return data_.hIcon; }
  // Opens menu at the point of the event's wParam and waits for a choice; the chosen item's id,
  // 0 when the menu was dismissed.
  UINT ChooseFromMenu(HMENU menu, WPARAM wParam) const;

 private:
  // Puts the icon of the look in force into the record, and into the notification area if shown.
  void ShowLook();

  NOTIFYICONDATAW data_{};
  bool shown_ = false;
  OwnedIcon normal_;
  OwnedIcon warning_;
  bool warns_ = false;
  // A balloon asked for before there was an icon to show it at.
  std::wstring balloonTitle_;
  std::wstring balloonText_;
};

}  // namespace varo
