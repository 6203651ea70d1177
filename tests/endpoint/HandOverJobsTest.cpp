#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "endpoint/HandOverJobs.h"

namespace varo {
namespace {

using namespace std::chrono_literals;

// Polls until condition() holds or two seconds pass; returns its last answer.
template <typename Condition>
bool Within2s(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// A listener whose announcement fails (a window that cannot take the message) keeps announcing
// until the job is served; one that succeeds announces once; a throwing job still releases its
// listener, stays inside ServePending, and leaves later jobs to be run.
TEST(HandOverJobs, RetriesFailedAnnouncementsAndSurvivesThrowingJobs) {
  HandOverJobs jobs;

  std::atomic<int> failedAnnouncements{0};
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  std::thread failing([&] {
    jobs.RunAndWait([&] { ran = true; },
                    [&] {
                      ++failedAnnouncements;
                      return false;
                    });
    returned = true;
  });
  EXPECT_TRUE(Within2s([&] { return failedAnnouncements >= 3; }));
  EXPECT_FALSE(returned);
  jobs.ServePending();
  failing.join();
  EXPECT_TRUE(ran);
  const int afterServing = failedAnnouncements;
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(failedAnnouncements, afterServing);

  std::atomic<int> announcements{0};
  std::atomic<int> laterRuns{0};
  std::thread throwing([&] {
    jobs.RunAndWait([] { throw std::runtime_error("job failed"); },
                    [&] { return ++announcements, true; });
    jobs.RunAndWait([&] { ++laterRuns; }, [&] { return ++announcements, true; });
  });
  ASSERT_TRUE(Within2s([&] { return announcements == 1; }));
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(announcements, 1);
  EXPECT_NO_THROW(jobs.ServePending());
  ASSERT_TRUE(Within2s([&] { return announcements == 2; }));
  jobs.ServePending();
  throwing.join();
  EXPECT_EQ(laterRuns, 1);
}

}  // namespace
}  // namespace varo
