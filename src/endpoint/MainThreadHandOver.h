// How the listener thread hands a datagram to the main thread and waits for it to be handled.
#pragma once

#include <functional>

namespace varo {

class MainThreadHandOver {
 public:
  virtual ~MainThreadHandOver() = default;
  // Listener thread: runs work on the main thread and returns once it has run. work never throws.
  virtual void RunOnMainThread(const std::function<void()>& work) = 0;
  // Main thread: runs every hand-over already queued, so a stopping endpoint cannot deadlock.
  virtual void ServePending() = 0;
};

}  // namespace varo
