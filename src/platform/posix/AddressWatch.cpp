#include "platform/AddressWatch.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/CrashReporter.h"

namespace varo {

namespace {

using Clock = std::chrono::steady_clock;

// One change brings several messages (an interface coming up sends a few, its address follows a
// moment later): what comes within this time of the first is told once.
constexpr std::chrono::milliseconds Gathering{100};

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

struct AddressWatcher::Native {
  std::function<void()> Changed;
  int Netlink = -1;  // the kernel's routing messages of IPv4 addresses and of links
  int Stop = -1;     // an eventfd, written once to end the thread
  std::thread Thread;

  ~Native() {
    if (Netlink >= 0) ::close(Netlink);
    if (Stop >= 0) ::close(Stop);
  }

  enum class Wait { News, Quiet, Stop };
  // Waits up to timeout (forever when negative) for a message or the stop.
  Wait WaitFor(std::chrono::milliseconds timeout) const {
    pollfd watched[2] = {{Stop, POLLIN, 0}, {Netlink, POLLIN, 0}};
    const int ready = ::poll(watched, 2, static_cast<int>(timeout.count()));
    if (ready < 0) return errno == EINTR ? Wait::Quiet : Wait::Stop;
    if (watched[0].revents != 0) return Wait::Stop;
    return watched[1].revents != 0 ? Wait::News : Wait::Quiet;
  }

  // Takes every message that has come; their content does not matter, only that something
  // changed. False when the socket fails for good.
  bool Drain() const {
    char buffer[8192];
    for (;;) {
      if (::recv(Netlink, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) continue;
      // ENOBUFS: messages were lost, which is news all the same.
      if (errno == ENOBUFS || errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
  }

  void Run() {
    PrepareThreadForCrashReports();
    for (;;) {
      Wait wait = WaitFor(std::chrono::milliseconds(-1));
      if (wait == Wait::Stop) return;
      if (wait == Wait::Quiet) continue;
      const Clock::time_point until = Clock::now() + Gathering;
      for (;;) {
        if (wait == Wait::News && !Drain()) return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) break;
        wait = WaitFor(left);
        if (wait == Wait::Stop) return;
      }
      Changed();
    }
  }
};

AddressWatcher::AddressWatcher(std::function<void()> changed)
    : native_(std::make_unique<Native>()) {
  native_->Changed = std::move(changed);
  native_->Netlink = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
  if (native_->Netlink < 0) ThrowErrno("cannot open a routing socket");
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_LINK;
  if (::bind(native_->Netlink, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ThrowErrno("cannot listen for address changes");
  }
  native_->Stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (native_->Stop < 0) ThrowErrno("cannot make the address watch's stop event");
  try {
    native_->Thread = std::thread([native = native_.get()] { native->Run(); });
  } catch (const std::system_error& error) {
    throw std::system_error(error.code(), "cannot start the address watch");
  }
}

AddressWatcher::~AddressWatcher() {
  const std::uint64_t one = 1;
  // An eventfd takes a write of 8 bytes at once or not at all; it fails only when full, which a
  // single write cannot make it.
  (void)!::write(native_->Stop, &one, sizeof one);
  native_->Thread.join();
}

}  // namespace varo
