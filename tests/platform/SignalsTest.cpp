#include "platform/posix/Signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace varo {
namespace {

TEST(StopSignals, TermAndIntArriveOnThePipeInOrder) {
  const int pipe = InstallStopSignalPipe();
  ASSERT_GE(pipe, 0);
  EXPECT_EQ(InstallStopSignalPipe(), pipe);
  EXPECT_EQ(TakeStopSignal(pipe), 0);
  ASSERT_EQ(::raise(SIGTERM), 0);
  ASSERT_EQ(::raise(SIGINT), 0);
  EXPECT_EQ(TakeStopSignal(pipe), SIGTERM);
  EXPECT_EQ(TakeStopSignal(pipe), SIGINT);
  EXPECT_EQ(TakeStopSignal(pipe), 0);
}

TEST(StopSignals, AWriteToAClosedPipeFailsInsteadOfEndingTheProcess) {
  IgnoreBrokenPipe();
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  errno = 0;
  EXPECT_EQ(::write(ends[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  ::close(ends[1]);
}

}  // namespace
}  // namespace varo
