#include "LoopHandOver.h"

#include <algorithm>

namespace varo {

void LoopHandOver::RunOnMainThread(const std::function<void()>& work) {
  // A queued job wakes the loop like any other Wake; it cannot fail, so it is never repeated.
  jobs_.RunAndWait(work, [this] {
    Wake();
    return true;
  });
}

void LoopHandOver::ServePending() {
  jobs_.ServePending();
}

bool LoopHandOver::ServeUntil(const std::function<bool()>& stop,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ServePending();
    if (stop()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    // Short waits, so a stop condition that changes on another thread is seen soon.
    const auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                     std::chrono::milliseconds(10));
    wake_.Wait(std::chrono::ceil<std::chrono::milliseconds>(slice));
  }
}

void LoopHandOver::ServeFor(std::chrono::milliseconds duration) {
  ServeUntil([] { return false; }, duration);
}

void LoopHandOver::Wake() {
  wake_.Raise();
}

}  // namespace varo
