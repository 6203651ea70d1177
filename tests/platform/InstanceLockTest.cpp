#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "posix/NameHolder.h"
#include "posix/OtherUser.h"

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

// A start knocking at the holder by hand: its socket bound to from (unbound when ""), connected,
// left open.
int Knock(const std::string& name, const std::string& from) {
  auto addressOf = [](const std::string& abstract, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, abstract.data(), abstract.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + abstract.size());
  };
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address;
  if (!from.empty() &&
      ::bind(fd, reinterpret_cast<sockaddr*>(&address), addressOf(from, address)) != 0) {
    return -1;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), addressOf(name, address)) != 0) {
    return -1;
  }
  return fd;
}

// What the holder answered a knock, up to the connection's end (bounded to five seconds).
std::string AnswerTo(int fd) {
  const timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string answer;
  char buffer[64];
  ssize_t got = 0;
  while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, got);
  ::close(fd);
  return answer;
}

// Whether a knock waits at the holder within five seconds.
bool KnockWaits(const InstanceLock& holder) {
  pollfd watched{holder.KnockHandle(), POLLIN, 0};
  return ::poll(&watched, 1, 5000) == 1;
}

TEST(InstanceLock, TheHolderAnswersEveryKnockAndShowsItsWindowOnlyWhenThisUserAsks) {
  const std::string name = TestName();
  InstanceLock holder(name);
  ASSERT_GE(holder.KnockHandle(), 0);
  const std::string thisUser = std::to_string(::getuid()) + "\n";
  struct Case {
    const char* what;
    std::vector<std::string> knocks;  // the names of starts knocking together, each left open
    bool showAsked;
  };
  for (const Case& c : {
           Case{"a start that asks nothing", {""}, false},
           Case{"a start asking for the window", {name + "/show/1"}, true},
           Case{"a silent start, then one asking", {"", name + "/show/2"}, true},
           Case{"a name of this guard's that asks nothing", {name + "/mostra/1"}, false},
           Case{"the mark alone", {name + "/show/"}, false},
           Case{"a request to another guard", {"other/show/1"}, false},
       }) {
    std::vector<int> peers;
    for (const std::string& from : c.knocks) peers.push_back(Knock(name, from));
    ASSERT_TRUE(KnockWaits(holder)) << c.what;
    EXPECT_EQ(holder.AnswerKnocks(), c.showAsked) << c.what;
    // Every one answered with the holder's user id and let go.
    for (const int peer : peers) EXPECT_EQ(AnswerTo(peer), thisUser) << c.what;
  }

  // Another user's request is answered and never taken.
  const pid_t other = ::fork();
  if (other == 0) {
    if (!test::BecomeNobody()) ::_exit(3);
    ::_exit(AnswerTo(Knock(name, name + "/show/3")) == thisUser ? 0 : 4);
  }
  ASSERT_TRUE(KnockWaits(holder));
  EXPECT_FALSE(holder.AnswerKnocks());
  int status = 0;
  ::waitpid(other, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // A later start asking through the guard hears that its request was taken.
  auto later = std::async(std::launch::async, [&name] {
    InstanceLock second(name, true);
    return second.HeldElsewhere() && second.ShowConfirmed();
  });
  ASSERT_TRUE(KnockWaits(holder));
  EXPECT_TRUE(holder.AnswerKnocks());
  EXPECT_TRUE(later.get());
}

}  // namespace
}  // namespace varo
