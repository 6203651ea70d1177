#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <optional>

namespace varo {
namespace {

// A name of this test process alone, in the abstract namespace of its private network.
std::string TestName() {
  return "quillmarch-varo-test-" + std::to_string(::getpid());
}

// Exit code of a child that tries the lock: 1 when another instance of this user holds it, 2 when
// a holder that is none (another user's, or one that never answers) does, 0 when it got it.
int TryInChild(const std::string& name) {
  const pid_t child = ::fork();
  if (child == 0) {
    InstanceLock lock(name);
    ::_exit(lock.HeldElsewhere() ? 1 : !lock.TakenBy().empty() ? 2 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child holding the name until killed: through the guard itself, or by a bare bind that never
// listens. Returns its id once the name is taken. (Another user's holder: ShellProcessTest.)
pid_t HoldInChild(const std::string& name, bool listens) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(ready[0]);
    char byte = 'n';
    std::optional<InstanceLock> lock;
    if (listens) {
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
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    return -1;
  }
  return holder;
}

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  const std::string name = TestName();
  {
    InstanceLock first(name);
    ASSERT_FALSE(first.HeldElsewhere());
    ASSERT_EQ(first.TakenBy(), "");
    EXPECT_EQ(TryInChild(name), 1);
    first.Release();
    EXPECT_EQ(TryInChild(name), 0);
  }
  EXPECT_EQ(TryInChild(name), 0);
}

TEST(InstanceLock, WhoHoldsTheNameDecides) {
  struct Case {
    const char* what;
    bool listens;
    int whileHeld;  // TryInChild's answer while the holder lives
  };
  for (const Case& c :
       {Case{"this user's instance", true, 1}, Case{"a socket that never listens", false, 2}}) {
    const std::string name = TestName();
    const pid_t holder = HoldInChild(name, c.listens);
    ASSERT_GT(holder, 0) << c.what;
    EXPECT_EQ(TryInChild(name), c.whileHeld) << c.what;
    // The kernel lets the name go with its holder, however it ends.
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(TryInChild(name), 0) << c.what;
  }
}

}  // namespace
}  // namespace varo
