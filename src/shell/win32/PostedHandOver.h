// The listener's hand-over to the main thread through the main window's message queue. Posted
// messages are dispatched by every message loop of the thread, the modal loops of dialogs and
// message boxes included, so requests are served while a dialog is open.
#pragma once

#include <atomic>
#include <functional>

#include "endpoint/HandOverJobs.h"
#include "endpoint/MainThreadHandOver.h"
#include "platform/win32/Windows.h"

namespace varo {

class PostedHandOver : public MainThreadHandOver {
 public:
  // The message that tells the window a hand-over waits; its procedure calls ServePending.
  static constexpr UINT Message = WM_APP + 1;

  // Main thread: the window that receives Message from now on; nullptr once it is gone.
  void SetWindow(HWND window) { window_ = window; }

  // Listener thread: queues work, posts Message (again while it cannot be posted) and waits
  // until the main thread has run it.
  void RunOnMainThread(const std::function<void()>& work) override;
  // Main thread: runs every queued hand-over; a stale Message finds nothing to run.
  void ServePending() override;

 private:
  // Whether the window took the message; a full or missing queue leaves the job queued.
  bool Post();

  std::atomic<HWND> window_{nullptr};
  HandOverJobs jobs_;
};

}  // namespace varo
