// Linux: a flag under a mutex, with a condition variable to wait for it.
#include "platform/WakeSignal.h"

#include <condition_variable>
#include <mutex>

namespace varo {

struct WakeSignal::State {
  std::mutex Mutex;
  std::condition_variable Raised;
  bool Up = false;
};

WakeSignal::WakeSignal() : state_(std::make_unique<State>()) {}

WakeSignal::~WakeSignal() = default;

void WakeSignal::Raise() {
  std::lock_guard lock(state_->Mutex);
  state_->Up = true;
  state_->Raised.notify_all();
}

bool WakeSignal::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(state_->Mutex);
  const bool raised = state_->Raised.wait_for(lock, timeout, [this] { return state_->Up; });
  state_->Up = false;
  return raised;
}

}  // namespace varo
