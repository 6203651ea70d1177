// Windows: a console control handler sets a flag that the program's loop looks at.
#include "platform/StopRequests.h"

#include <atomic>

#include "platform/win32/Windows.h"

namespace varo {

namespace {

std::atomic<bool> requested{false};
HANDLE completed = nullptr;  // manual reset, set once the program has done its ending

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  requested = true;
  // For these the system ends the process when the handler returns (or after about five seconds):
  // wait for the program to let its port and its instance go first.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    WaitForSingleObject(completed, 4000);
  }
  return TRUE;
}

}  // namespace

void WatchStopRequests() {
  static const bool installed = [] {
    completed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
  }();
  (void)installed;
}

bool StopRequested() {
  return requested;
}

void StopCompleted() {
  if (completed != nullptr) SetEvent(completed);
}

}  // namespace varo
