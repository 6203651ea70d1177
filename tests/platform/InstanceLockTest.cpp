#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "posix/NameHolder.h"

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
  using test::NameHolder;
  struct Case {
    const char* what;
    NameHolder how;
    int whileHeld;  // TryInChild's answer while the holder lives
  };
  for (const Case& c : {Case{"this user's instance", NameHolder::Guard, 1},
                        Case{"a socket that never listens", NameHolder::BareBind, 2}}) {
    const std::string name = TestName();
    const pid_t holder = test::HoldNameInChild(name, c.how);
    ASSERT_GT(holder, 0) << c.what;
    EXPECT_EQ(TryInChild(name), c.whileHeld) << c.what;
    // The kernel lets the name go with its holder, however it ends.
    test::EndHolder(holder);
    EXPECT_EQ(TryInChild(name), 0) << c.what;
  }
}

}  // namespace
}  // namespace varo
