#include "shell/win32/TrayIcon.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace varo {

namespace {

// Copies text into a fixed field of the icon's record, cut to fit with its terminator, never
// between the two halves of a character beyond the basic plane.
template <std::size_t N>
void CopyInto(wchar_t (&field)[N], const std::wstring& text) {
  std::size_t length = std::min(text.size(), N - 1);
  if (length < text.size() && IS_HIGH_SURROGATE(text[length - 1])) --length;
  std::wmemcpy(field, text.data(), length);
  field[length] = L'\0';
}

}  // namespace

TipField TrayIcon::Tip() {
  static const TipAmpersands ampersands = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    // Wine's notification area shows a tip in a tooltip without TTS_NOPREFIX, whose DrawTextW
    // reads "&&" as one "&".
    if (ntdll == nullptr) return TipAmpersands::StrippedThenPrefixed;
    if (GetProcAddress(ntdll, "wine_get_version") != nullptr) return TipAmpersands::Prefixed;
    // Asked of ntdll, which tells the build whatever the manifest says.
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    // Windows 11's taskbar (build 22000 on) shows the tip as it is. Explorer before it takes one
    // "&" of each run away and then reads the rest as prefixes: "&&&" shows "&". Neither is
    // documented with NOTIFYICONDATAW; it is how both are seen to behave, and Wine shows neither.
    if (getVersion != nullptr && getVersion(&version) == 0 && version.dwBuildNumber >= 22000) {
      return TipAmpersands::AsIs;
    }
    return TipAmpersands::StrippedThenPrefixed;
  }();
  return {TipLimit, ampersands};
}

TrayIcon::TrayIcon(HWND owner, const std::wstring& tip, UINT dpi) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = 1;
  // With version 4 the tip is shown only when asked for.
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data_.uVersion = NOTIFYICON_VERSION_4;
  data_.uCallbackMessage = Message;
  CopyInto(data_.szTip, tip);
  LoadIcons(dpi);
}

void TrayIcon::SetTip(const std::wstring& tip) {
  CopyInto(data_.szTip, tip);
  if (shown_) Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void TrayIcon::SetWarning(bool warning) {
  if (warning == warns_) return;
  warns_ = warning;
  ShowLook();
}

void TrayIcon::LoadIcons(UINT dpi) {
  // GetSystemMetrics would give the size at the scale of the system at sign-in, in a process that
  // follows each monitor's scale; a monitor's scale changed since (or another one's) needs its own.
  const int size = GetSystemMetricsForDpi(SM_CXSMICON, dpi);
  OwnedIcon normal = LoadProgramIcon(IconLook::Normal, size);
  OwnedIcon warning = LoadProgramIcon(IconLook::Warning, size);
  std::swap(normal_, normal);
  std::swap(warning_, warning);
  // The old icons go only once the notification area holds the new one.
  ShowLook();
}

void TrayIcon::ShowLook() {
  data_.hIcon = warns_ ? warning_.Get() : normal_.Get();
  if (shown_) Shell_NotifyIconW(NIM_MODIFY, &data_);
}

TrayIcon::~TrayIcon() {
  Remove();
}

bool TrayIcon::Add() {
  // After a restart of the notification area the old icon is gone, whatever shown_ says.
  // An icon the area still holds counts as added.
  shown_ =
      Shell_NotifyIconW(NIM_ADD, &data_) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
  // Asked of every new icon, since a rebuilt notification area forgets it: without it a right-click
  // would bring no WM_CONTEXTMENU and a click no NIN_SELECT.
  if (shown_) Shell_NotifyIconW(NIM_SETVERSION, &data_);
  if (shown_ && !balloonText_.empty()) {
    ShowBalloon(balloonTitle_, balloonText_);
    balloonTitle_.clear();
    balloonText_.clear();
  }
  return shown_;
}

TrayIcon::Request TrayIcon::RequestOf(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONDBLCLK:
      return Request::Show;
    case WM_CONTEXTMENU:
      return Request::Menu;
    default:
      return Request::None;
  }
}

UINT TrayIcon::ChooseFromMenu(HMENU menu, WPARAM wParam) const {
  const int x = static_cast<short>(LOWORD(wParam));
  const int y = static_cast<short>(HIWORD(wParam));
  // Without the foreground the menu would not close on a click elsewhere; the message posted
  // after lets it open again at the next right-click.
  SetForegroundWindow(data_.hWnd);
  const UINT alignment = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, alignment | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0,
      data_.hWnd, nullptr));
  PostMessageW(data_.hWnd, WM_NULL, 0, 0);
  return chosen;
}

void TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
  if (!shown_) {
    // At log-in the notification area may come after the program.
    balloonTitle_ = title;
    balloonText_ = text;
    return;
  }
  NOTIFYICONDATAW balloon = data_;
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = NIIF_WARNING;
  CopyInto(balloon.szInfoTitle, title);
  CopyInto(balloon.szInfo, text);
  Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

void TrayIcon::Remove() {
  if (!shown_) return;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  shown_ = false;
}

}  // namespace varo
