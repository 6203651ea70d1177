// A hand-over served by a plain loop on the main thread, for programs without an event loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "HandOverJobs.h"
#include "MainThreadHandOver.h"

namespace varo {

class LoopHandOver : public MainThreadHandOver {
 public:
  void RunOnMainThread(const std::function<void()>& work) override;
  void ServePending() override;

  // Main thread: serves hand-overs as they come until stop() is true or the timeout passes;
  // returns stop()'s last answer.
  bool ServeUntil(const std::function<bool()>& stop, std::chrono::milliseconds timeout);

  // Main thread: serves hand-overs for the given time.
  void ServeFor(std::chrono::milliseconds duration);

  // Any thread: makes a running ServeUntil look at its queue and stop condition again.
  void Wake();

 private:
  HandOverJobs jobs_;
  std::mutex mutex_;
  std::condition_variable woken_;
  bool wake_ = false;
};

}  // namespace varo
