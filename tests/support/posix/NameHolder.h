// A child process holding the single-instance name until it is ended, as the tests of the guard
// need one: through the guard itself, through the guard as another user, or by a bare bind that
// never listens.
#pragma once

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "platform/InstanceLock.h"
#include "posix/OtherUser.h"

namespace varo::test {

enum class NameHolder { Guard, GuardAsNobody, BareBind };

// Ends a holder and reaps it.
inline void EndHolder(pid_t holder) {
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
}

// Forks a child that takes the abstract name the given way; its id once the name is taken, -1
// when it could not be.
inline pid_t HoldNameInChild(const std::string& name, NameHolder how) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(ready[0]);
    char byte = 'n';
    std::optional<InstanceLock> lock;
    if (how != NameHolder::BareBind) {
      if (how == NameHolder::GuardAsNobody && !BecomeNobody()) ::_exit(3);
      lock.emplace(name);
      if (lock->TakenBy().empty() && !lock->HeldElsewhere()) byte = 'y';
    } else {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::memcpy(address.sun_path + 1, name.data(), name.size());
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
      if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) byte = 'y';
    }
    [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  const bool taken = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
  ::close(ready[0]);
  if (!taken) {
    EndHolder(holder);
    return -1;
  }
  return holder;
}

}  // namespace varo::test
