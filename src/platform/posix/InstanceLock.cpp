#include "platform/InstanceLock.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
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

// A later start that asks for the window says so by the name its own socket is bound to before it
// connects: the holder reads it with the connection itself, so nothing is read afterwards and no
// start is missed for being slow. The name is the guard's, then this mark, then what makes it
// unique among this user's starts.
constexpr char ShowMark[] = "/show/";
// How long a start waits for a holder whose queue is full to make room, and for its answer.
constexpr int HolderPatienceSeconds = 2;
// Connections answered in one round at most, so a flood of them cannot keep the main loop.
constexpr int KnocksPerRound = 64;

enum class Holder { Gone, ThisUser, OtherUser, Silent };

// Bounds the blocking calls on fd (connect and send, recv) to the seconds.
void BoundWaits(int fd, int seconds) {
  const timeval limit{seconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// Binds fd to a name that asks the holder of lockName for its window; false when it cannot.
bool AskForTheWindow(int fd, const std::string& lockName) {
  static std::atomic<unsigned> asked{0};
  const std::string name = lockName + ShowMark + std::to_string(::getpid()) + "." +
                           std::to_string(asked.fetch_add(1));
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, address);
  return name.size() < sizeof address.sun_path &&
         ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// Reads the holder's answer on fd up to its end; true when it came whole.
bool Answered(int fd) {
  std::string answer;
  char buffer[32];
  while (answer.size() < 64) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  return answer.find('\n') != std::string::npos;
}

// Who holds the name, by the credentials the holder's listening socket carries; otherUid gets
// the holder's user id. A holder whose queue is full gets a moment to make room.
Holder AskHolder(const std::string& lockName, uid_t& otherUid, bool askToShow, bool& showConfirmed) {
  sockaddr_un address;
  const socklen_t length = AbstractAddress(lockName, address);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Holder::Silent;
  BoundWaits(fd, HolderPatienceSeconds);
  const bool asking = askToShow && AskForTheWindow(fd, lockName);
  Holder holder = Holder::Silent;
  int connected = -1;
  do {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
  } while (connected != 0 && errno == EINTR);
  if (connected == 0) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0) {
      otherUid = peer.uid;
      holder = peer.uid == ::getuid() ? Holder::ThisUser : Holder::OtherUser;
      // Only this user's own instance is asked anything.
      if (holder == Holder::ThisUser && asking) showConfirmed = Answered(fd);
    }
  } else if (errno == ECONNREFUSED) {
    holder = Holder::Gone;  // bound but not listening yet, or let go in between
  }
  ::close(fd);
  return holder;
}

// Whether the peer's socket is bound to a name that asks the holder of lockName for its window.
bool AsksForTheWindow(const sockaddr_un& peer, socklen_t peerLength, const std::string& lockName) {
  const std::size_t header = offsetof(sockaddr_un, sun_path);
  if (peerLength <= header + 1 || peer.sun_path[0] != '\0') return false;
  const std::string_view name(peer.sun_path + 1, peerLength - header - 1);
  const std::string asking = lockName + ShowMark;
  return name.size() > asking.size() && name.substr(0, asking.size()) == asking;
}

// The abstract name the listening socket fd is bound to; "" when it cannot be read.
std::string BoundName(int fd) {
  sockaddr_un address{};
  socklen_t length = sizeof address;
  const std::size_t header = offsetof(sockaddr_un, sun_path);
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      length <= header + 1 || address.sun_path[0] != '\0') {
    return "";
  }
  return std::string(address.sun_path + 1, length - header - 1);
}

}  // namespace

std::string InstanceLockPath(const std::string& /*settingsFolder*/) {
  // Made from the user id alone: no environment variable, log-in or log-out moves it.
  return "quillmarch-varo-server-" + std::to_string(::getuid());
}

InstanceLock::InstanceLock(const std::string& lockName, bool askToShow) {
  sockaddr_un address;
  const socklen_t length = AbstractAddress(lockName, address);
  for (int attempt = 0; attempt < RefusedTries; ++attempt) {
    // Close-on-exec, so that no child process keeps the name taken after this one ends; not
    // blocking, so that answering later starts never holds the main loop.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
    switch (AskHolder(lockName, holderUid, askToShow, showConfirmed_)) {
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

int InstanceLock::KnockHandle() const {
  return static_cast<int>(native_);
}

bool InstanceLock::AnswerKnocks() {
  if (native_ < 0) return false;
  const int listening = static_cast<int>(native_);
  const std::string lockName = BoundName(listening);
  const std::string answer = std::to_string(::getuid()) + "\n";
  bool showAsked = false;
  for (int round = 0; round < KnocksPerRound; ++round) {
    sockaddr_un peerAddress{};
    socklen_t peerLength = sizeof peerAddress;
    const int peer = ::accept4(listening, reinterpret_cast<sockaddr*>(&peerAddress), &peerLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (peer < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      break;  // none left, or none can be taken now: the next round tries again
    }
    ucred credentials{};
    socklen_t size = sizeof credentials;
    // Another user's start learns who holds the name, and asks nothing.
    if (::getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
        credentials.uid == ::getuid() && !lockName.empty() &&
        AsksForTheWindow(peerAddress, peerLength, lockName)) {
      showAsked = true;
    }
    ::send(peer, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(peer);
  }
  return showAsked;
}

}  // namespace varo
