#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "TempDir.h"

namespace varo {
namespace {

using test::TempDir;

// Exit code of a child that tries the lock: 1 when another process holds it, 0 when it got it.
int TryInChild(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    InstanceLock lock(path);
    ::_exit(lock.HeldElsewhere() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  TempDir dir;
  const std::string path = (dir.Path() / "Quillmarch Varo server.lock").string();
  {
    InstanceLock first(path);
    ASSERT_FALSE(first.HeldElsewhere());
    EXPECT_EQ(TryInChild(path), 1);
    first.Release();
    EXPECT_EQ(TryInChild(path), 0);
  }
  EXPECT_EQ(TryInChild(path), 0);
}

TEST(InstanceLock, TheLockDiesWithItsHolder) {
  TempDir dir;
  const std::string path = (dir.Path() / "lock").string();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    InstanceLock lock(path);
    const char byte = lock.HeldElsewhere() ? 'n' : 'y';
    [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(byte, 'y');
  EXPECT_EQ(TryInChild(path), 1);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(TryInChild(path), 0);
}

TEST(InstanceLock, ALockFileThatCannotBeCreatedCountsAsFirst) {
  TempDir dir;
  InstanceLock lock((dir.Path() / "missing-folder" / "lock").string());
  EXPECT_FALSE(lock.HeldElsewhere());
}

TEST(InstanceLock, PathPrefersTheRuntimeFolder) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(InstanceLockPath("/cfg/Quillmarch/Quillmarch Varo Server"),
            "/run/user/4242/Quillmarch Varo server.lock");
  ::setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(InstanceLockPath("/cfg/Q"), "/cfg/Q/Quillmarch Varo server.lock");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(InstanceLockPath("/cfg/Q"), "/cfg/Q/Quillmarch Varo server.lock");
  if (saved) ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
}  // namespace varo
