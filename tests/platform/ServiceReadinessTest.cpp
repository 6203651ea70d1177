// Readiness as systemd hears it: by path or abstract name, and never held up by a full queue.
#include "platform/ServiceReadiness.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "TempDir.h"

namespace varo::test {
namespace {

TEST(ServiceReadiness, ReadyReachesThePathOrAbstractSocketAndAFullQueueDoesNotHoldTheCaller) {
  TempDir dir;
  for (const std::string& name :
       {(dir.Path() / "notify").string(), "@varo-ready-" + std::to_string(::getpid())}) {
    sockaddr_un address{AF_UNIX, {}};
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') address.sun_path[0] = '\0';
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    const auto* to = reinterpret_cast<const sockaddr*>(&address);
    const int receiver = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(receiver, to, size), 0) << name;
    ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
    NotifyServiceReady();
    char message[8] = {};
    EXPECT_EQ(::recv(receiver, message, sizeof message, MSG_DONTWAIT), 7) << name;
    EXPECT_STREQ(message, "READY=1") << name;

    // Filled from fresh senders until even a fresh one is refused: the receiver's queue is full.
    for (bool sent = true; sent;) {
      const int sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sent = ::sendto(sender, "x", 1, MSG_DONTWAIT, to, size) == 1;
      while (sent && ::sendto(sender, "x", 1, MSG_DONTWAIT, to, size) == 1) {
      }
      ::close(sender);
    }
    auto notified = std::async(std::launch::async, NotifyServiceReady);
    EXPECT_EQ(notified.wait_for(std::chrono::seconds(5)), std::future_status::ready) << name;
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
