// Linux: SIGINT and SIGTERM set a flag that the program's loop looks at.
#include "platform/StopRequests.h"

#include <csignal>

namespace varo {

namespace {

volatile std::sig_atomic_t requested = 0;

void Request(int) {
  requested = 1;
}

}  // namespace

void WatchStopRequests() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = Request;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed standard output then fails writes instead of ending the program unasked.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)installed;
}

bool StopRequested() {
  return requested != 0;
}

void StopCompleted() {}

}  // namespace varo
