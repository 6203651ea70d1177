#include "shell/win32/PostedHandOver.h"

namespace varo {

void PostedHandOver::RunOnMainThread(const std::function<void()>& work) {
  jobs_.RunAndWait(work, [this] { return Post(); });
}

void PostedHandOver::ServePending() {
  jobs_.ServePending();
}

bool PostedHandOver::Post() {
  const HWND window = window_;
  return window != nullptr && PostMessageW(window, Message, 0, 0) != 0;
}

}  // namespace varo
