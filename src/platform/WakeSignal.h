// A wake-up that other threads give the one thread that waits on it. On Windows the wait also ends
// as soon as a message waits for that thread (a window's, or a call of COM into its
// single-threaded apartment), so the thread can hand it on at once; Linux has no such messages.
#pragma once

#include <chrono>
#include <memory>

namespace varo {

class WakeSignal {
 public:
  // Lowered; throws std::system_error when the system cannot make one.
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Any thread: ends the wait going on, or else the next one at once.
  void Raise();
  // The waiting thread: returns when raised, lowering it again; on Windows when a message waits
  // for this thread (left in its queue); else once timeout has passed. False only in that case.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace varo
