// A hand-over served by a plain loop on the main thread, for programs without an event loop.
#pragma once

#include <chrono>
#include <functional>

#include "HandOverJobs.h"
#include "MainThreadHandOver.h"
#include "platform/WakeSignal.h"

namespace varo {

class LoopHandOver : public MainThreadHandOver {
 public:
  void RunOnMainThread(const std::function<void()>& work) override;
  void ServePending() override;

  // Main thread: serves hand-overs as they come until stop() is true or the timeout passes;
  // returns stop()'s last answer. stop() is asked at every wake-up, at least every 10 ms: on
  // Windows also as soon as a message comes for this thread, which a stop condition that hands
  // messages on (ShellApartment::DispatchPending) serves at once.
  bool ServeUntil(const std::function<bool()>& stop, std::chrono::milliseconds timeout);

  // Main thread: serves hand-overs for the given time.
  void ServeFor(std::chrono::milliseconds duration);

  // Any thread: makes a running ServeUntil look at its queue and stop condition again.
  void Wake();

 private:
  HandOverJobs jobs_;
  WakeSignal wake_;
};

}  // namespace varo
