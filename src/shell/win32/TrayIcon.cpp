#include "shell/win32/TrayIcon.h"

#include <algorithm>
#include <cwchar>

namespace varo {

TrayIcon::TrayIcon(HWND owner, HICON icon, const std::wstring& tip) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = 1;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = Message;
  data_.hIcon = icon;
  const std::size_t length = std::min(tip.size(), std::size(data_.szTip) - 1);
  std::wmemcpy(data_.szTip, tip.data(), length);
  data_.szTip[length] = L'\0';
}

TrayIcon::~TrayIcon() {
  Remove();
}

bool TrayIcon::Add() {
  // After a restart of the notification area the old icon is gone, whatever shown_ says.
  // An icon the area still holds counts as added.
  shown_ =
      Shell_NotifyIconW(NIM_ADD, &data_) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
  return shown_;
}

void TrayIcon::Remove() {
  if (!shown_) return;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  shown_ = false;
}

}  // namespace varo
