#include "platform/posix/Signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace varo {

namespace {

int pipeRead = -1;
int pipeWrite = -1;

extern "C" void OnStopSignal(int number) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  // A full pipe already holds a stop request, so a lost byte loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(pipeWrite, &byte, 1);
  errno = savedErrno;
}

}  // namespace

int InstallStopSignalPipe() {
  if (pipeRead >= 0) return pipeRead;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "cannot create the signal pipe");
  }
  pipeRead = ends[0];
  pipeWrite = ends[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGINT}) {
    if (::sigaction(number, &action, nullptr) != 0) {
      throw std::system_error(errno, std::generic_category(), "cannot catch a stop signal");
    }
  }
  return pipeRead;
}

int TakeStopSignal(int readEnd) {
  unsigned char byte = 0;
  ssize_t n;
  do {
    n = ::read(readEnd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? byte : 0;
}

void IgnoreBrokenPipe() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace varo
