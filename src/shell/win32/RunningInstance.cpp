#include "shell/win32/RunningInstance.h"

namespace varo {

UINT ShowWindowMessage() {
  return RegisterWindowMessageW(L"QuillmarchVaroServerShowWindow");
}

bool AskRunningInstanceToShow() {
  const UINT message = ShowWindowMessage();
  const HWND window = FindWindowW(MainWindowClass, nullptr);
  if (message == 0 || window == nullptr) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  // Without this the window would only flash in the taskbar: the foreground is this start's to give.
  if (process != 0) AllowSetForegroundWindow(process);
  return PostMessageW(window, message, 0, 0) != 0;
}

}  // namespace varo
