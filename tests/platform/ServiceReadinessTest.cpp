// Readiness as systemd hears it: the message reaches the socket NOTIFY_SOCKET names, by path or
// in the abstract namespace, and a socket whose queue is full never holds the program up.
#include "platform/ServiceReadiness.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "TempDir.h"

namespace varo::test {
namespace {

sockaddr_un LocalAddress(const std::string& name, socklen_t& size) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.data(), name.size());
  if (name[0] == '@') address.sun_path[0] = '\0';
  size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  return address;
}

// Sends one-byte datagrams to name from fresh sockets until even a fresh one is refused: the
// receiver's queue, not a sender's buffer, is then full.
void FillQueue(const std::string& name) {
  socklen_t size;
  const sockaddr_un address = LocalAddress(name, size);
  for (int senders = 0; senders < 64; ++senders) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int sent = 0;
    while (::sendto(fd, "x", 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&address), size) ==
           1) {
      ++sent;
    }
    const int error = errno;
    ::close(fd);
    ASSERT_EQ(error, EAGAIN);
    if (sent == 0) return;
  }
  FAIL() << "the queue of " << name << " never filled";
}

TEST(ServiceReadiness, ReadyReachesThePathOrAbstractSocketAndAFullQueueDoesNotHoldTheCaller) {
  TempDir dir;
  const std::string names[] = {(dir.Path() / "notify").string(),
                               "@varo-readiness-" + std::to_string(::getpid())};
  for (const std::string& name : names) {
    const int receiver = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    socklen_t size;
    const sockaddr_un address = LocalAddress(name, size);
    ASSERT_EQ(::bind(receiver, reinterpret_cast<const sockaddr*>(&address), size), 0) << name;
    ::setenv("NOTIFY_SOCKET", name.c_str(), 1);

    NotifyServiceReady();
    char message[32] = {};
    EXPECT_EQ(::recv(receiver, message, sizeof message, MSG_DONTWAIT), 7) << name;
    EXPECT_STREQ(message, "READY=1") << name;

    FillQueue(name);
    auto notified = std::async(std::launch::async, [] { NotifyServiceReady(); });
    const bool returned = notified.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(returned) << name;
    // A caller that is held up is let go, so the test ends either way.
    while (notified.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      (void)::recv(receiver, message, sizeof message, MSG_DONTWAIT);
    }
    ::unsetenv("NOTIFY_SOCKET");
    ::close(receiver);
  }
}

}  // namespace
}  // namespace varo::test
