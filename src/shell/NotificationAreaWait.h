// How a start finding no notification area waits for one before showing the window: at log-in
// the panel may come seconds after the program, and a window shown for nothing would be closed,
// ending the server for the day.
#pragma once

#include <chrono>

namespace varo {

class NotificationAreaWait {
 public:
  // How often the notification area is looked for, and for how long in all.
  static constexpr std::chrono::milliseconds CheckEvery{500};
  static constexpr std::chrono::milliseconds WaitAtMost{15000};

  // Counts one more look that found none; false once the wait is over and the window is due.
  bool KeepWaiting() { return ++looks_ < WaitAtMost / CheckEvery; }

 private:
  long long looks_ = 0;
};

}  // namespace varo
