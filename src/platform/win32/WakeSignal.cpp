// Windows: an auto-reset event, waited for together with the thread's message queue.
#include "platform/WakeSignal.h"

#include <algorithm>
#include <system_error>

#include "platform/win32/Windows.h"

namespace varo {

struct WakeSignal::State {
  HANDLE Event = nullptr;
};

WakeSignal::WakeSignal() : state_(std::make_unique<State>()) {
  // Auto-reset: the wait it ends lowers it again.
  state_->Event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (state_->Event == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot make a wake-up event");
  }
}

WakeSignal::~WakeSignal() {
  CloseHandle(state_->Event);
}

void WakeSignal::Raise() {
  SetEvent(state_->Event);
}

bool WakeSignal::Wait(std::chrono::milliseconds timeout) {
  const auto milliseconds = static_cast<DWORD>(
      std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1));
  // QS_ALLINPUT takes in sent messages (QS_SENDMESSAGE): COM delivers calls from other apartments
  // into a single-threaded one that way, and a broadcast (WM_SETTINGCHANGE to every top-level
  // window, COM's hidden one too) keeps its sender waiting until this thread takes it.
  // MWMO_INPUTAVAILABLE ends the wait for a message queued before it began too, which otherwise
  // counts only if it came after the last look at the queue. Wine sends neither on its own.
  const DWORD woken = MsgWaitForMultipleObjectsEx(1, &state_->Event, milliseconds, QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
  return woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 1;
}

}  // namespace varo
