#include "platform/InstanceLock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

namespace varo {

namespace {

// A holder between its bind and its listen refuses connections for an instant: the name is tried
// again this many times, this far apart, before a refusing holder counts as one that never answers.
constexpr int RefusedTries = 25;
constexpr auto RefusedPause = std::chrono::milliseconds(20);

// The abstract address of name: a leading NUL, then the name's bytes, no terminator.
socklen_t AbstractAddress(const std::string& name, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

enum class Holder { Gone, ThisUser, OtherUser, Silent };

// Who holds the name, by the credentials the holder's listening socket carries; otherUid gets
// the holder's user id.
Holder AskHolder(const sockaddr_un& address, socklen_t length, uid_t& otherUid) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Holder::Silent;
  Holder holder = Holder::Silent;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0) {
      otherUid = peer.uid;
      holder = peer.uid == ::getuid() ? Holder::ThisUser : Holder::OtherUser;
    }
  } else if (errno == ECONNREFUSED) {
    holder = Holder::Gone;  // bound but not listening yet, or let go in between
  }
  ::close(fd);
  return holder;
}

}  // namespace

std::string InstanceLockPath(const std::string& /*settingsFolder*/) {
  // Made from the user id alone: no environment variable, log-in or log-out moves it.
  return "quillmarch-varo-server-" + std::to_string(::getuid());
}

InstanceLock::InstanceLock(const std::string& lockName) {
  sockaddr_un address;
  const socklen_t length = AbstractAddress(lockName, address);
  for (int attempt = 0; attempt < RefusedTries; ++attempt) {
    // Close-on-exec, so that no child process keeps the name taken after this one ends.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;  // no guard can be set up: run as the first instance
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      // Listening lets a later start connect and read this process's user id.
      if (::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return;
      }
      native_ = fd;
      return;
    }
    const int bindError = errno;
    ::close(fd);
    if (bindError != EADDRINUSE) return;

    uid_t holderUid = 0;
    switch (AskHolder(address, length, holderUid)) {
      case Holder::ThisUser:
        heldElsewhere_ = true;
        return;
      case Holder::OtherUser:
        takenBy_ = "a process of user " + std::to_string(holderUid);
        return;
      case Holder::Silent:
        takenBy_ = "a process that does not answer";
        return;
      case Holder::Gone:
        std::this_thread::sleep_for(RefusedPause);
        break;
    }
  }
  takenBy_ = "a process that refuses connections";
}

InstanceLock::~InstanceLock() {
  Release();
}

void InstanceLock::Release() {
  if (native_ < 0) return;
  ::close(static_cast<int>(native_));  // the only descriptor gone, the name is free
  native_ = -1;
}

}  // namespace varo
