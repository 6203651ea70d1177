#include "platform/InstanceLock.h"

#include "platform/win32/MainWindowClass.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

namespace {

// The message that asks the main window to show itself; 0 when none could be registered.
UINT ShowWindowMessage() {
  return RegisterWindowMessageW(L"QuillmarchVaroServerShowWindow");
}

// Asks the running instance's main window to show itself, letting its process take the
// foreground first; false when no such window was found or the message could not be posted.
bool AskRunningInstanceToShow() {
  const UINT message = ShowWindowMessage();
  const HWND window = FindWindowW(win32::MainWindowClass, nullptr);
  if (message == 0 || window == nullptr) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  // Without this the window would only flash in the taskbar: the foreground is this start's to
  // give.
  if (process != 0) AllowSetForegroundWindow(process);
  return PostMessageW(window, message, 0, 0) != 0;
}

}  // namespace

std::string InstanceLockPath(const std::string&) {
  // Without a "Global\" or "Local\" prefix the name lives in this logon session: one per user.
  return "Quillmarch Varo server";
}

InstanceLock::InstanceLock(const std::string& lockName, bool askToShow) {
  std::wstring name;
  try {
    name = win32::Widen(lockName);
  } catch (const std::exception&) {
    return;  // a name no mutex can have: run as the first instance
  }
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    // An instance started elevated (from an installer run as administrator) holds a mutex that a
    // normal start may not open: it runs all the same, and a second server must not.
    if (GetLastError() == ERROR_ACCESS_DENIED) {
      heldElsewhere_ = true;
      if (askToShow) showConfirmed_ = AskRunningInstanceToShow();
    }
    return;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    heldElsewhere_ = true;
    CloseHandle(mutex);
    if (askToShow) showConfirmed_ = AskRunningInstanceToShow();
    return;
  }
  // Not inherited by child processes, so none keeps the lock alive after this one ends.
  native_ = reinterpret_cast<std::intptr_t>(mutex);
}

InstanceLock::~InstanceLock() {
  Release();
}

void InstanceLock::Release() {
  if (native_ == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(native_));  // the last handle gone, the name is free
  native_ = -1;
}

// A mutex takes no knocks: a later start posts the registered message to the main window.
int InstanceLock::KnockHandle() const {
  if (native_ == -1) return -1;
  const UINT message = ShowWindowMessage();
  return message == 0 ? -1 : static_cast<int>(message);
}

bool InstanceLock::AnswerKnocks() {
  return native_ != -1;
}

}  // namespace varo
