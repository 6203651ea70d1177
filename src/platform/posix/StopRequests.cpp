// Linux: SIGINT and SIGTERM, caught on the same pipe the desktop program watches.
#include "platform/StopRequests.h"

#include <atomic>
#include <system_error>

#include "platform/posix/Signals.h"

namespace varo {

namespace {

int stopPipe = -1;
std::atomic<bool> requested{false};

}  // namespace

void WatchStopRequests() {
  if (stopPipe >= 0) return;
  try {
    stopPipe = InstallStopSignalPipe();
  } catch (const std::system_error&) {
    // Without the pipe the signals keep their default action: they still end the program.
  }
  // A closed standard output then fails writes instead of ending the program unasked.
  IgnoreBrokenPipe();
}

bool StopRequested() {
  if (!requested && stopPipe >= 0 && TakeStopSignal(stopPipe) != 0) requested = true;
  return requested;
}

void StopCompleted() {}

}  // namespace varo
