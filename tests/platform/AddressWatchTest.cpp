// The address watch in the test's private network: addresses added to and removed from a veth
// interface, and the interface going down and up, told within 2 seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AddressWatch.h"
#include "platform/NetworkAddresses.h"
#include "posix/VethPair.h"

namespace varo::test {
namespace {

// The watch's calls, counted for the test's thread to wait on.
class Calls {
 public:
  void Add() {
    {
      const std::lock_guard lock(mutex_);
      ++count_;
    }
    called_.notify_all();
  }

  int Count() {
    const std::lock_guard lock(mutex_);
    return count_;
  }

  // Waits up to bound for a call, beyond the first `after` calls, after which holds() is true.
  bool WaitFor(int after, std::chrono::seconds bound, const std::function<bool()>& holds) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(mutex_);
    int seen = after;
    while (called_.wait_until(lock, deadline, [&] { return count_ > seen; })) {
      seen = count_;
      lock.unlock();
      const bool held = holds();
      lock.lock();
      if (held) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable called_;
  int count_ = 0;
};

bool HasAddress(const std::string& address) {
  const std::vector<std::string> addresses = LocalIPv4Addresses();
  return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

TEST(AddressWatch, TellsOfAddressesAndInterfacesChangingWithinTwoSeconds) {
  const VethPair pair("v0", "v1");
  if (!pair.Problem().empty()) GTEST_SKIP() << pair.Problem();
  Calls calls;
  const AddressWatcher watch([&calls] { calls.Add(); });

  // Twenty addresses added by twenty commands, one after the other: changes a few milliseconds
  // apart, each of which the watch would tell at once were they not gathered.
  std::vector<std::string> burst, adds;
  for (int host = 1; host <= 20; ++host) {
    burst.push_back("10.9.9." + std::to_string(host));
    adds.push_back("addr add " + burst.back() + "/32 dev v0");
  }
  const struct {
    const char* What;
    std::vector<std::string> Ip;
    std::vector<std::string> Present;
    std::vector<std::string> Absent;
    int MostCalls;
  } cases[] = {
      {"an address added", {"addr add 10.9.8.7/24 dev v0"}, {"10.9.8.7"}, {}, 1},
      {"its interface down", {"link set v0 down"}, {}, {"10.9.8.7"}, 1},
      {"its interface up again", {"link set v0 up"}, {"10.9.8.7"}, {}, 1},
      {"the address removed", {"addr del 10.9.8.7/24 dev v0"}, {}, {"10.9.8.7"}, 1},
      {"twenty addresses in a row", adds, burst, {}, 14},
  };
  for (const auto& [what, ips, present, absent, mostCalls] : cases) {
    SCOPED_TRACE(what);
    const int before = calls.Count();
    for (const std::string& ip : ips) ASSERT_TRUE(RunIp(ip));
    const auto shown = [&] {
      return std::all_of(present.begin(), present.end(), HasAddress) &&
             std::none_of(absent.begin(), absent.end(), HasAddress);
    };
    // Waited for by its calls: the one that shows the last change is the burst's last.
    EXPECT_TRUE(calls.WaitFor(before, std::chrono::seconds(2), shown))
        << "addresses now: " << ::testing::PrintToString(LocalIPv4Addresses());
    // A burst is told in a few calls, however many changes it has.
    if (mostCalls > 1) {
      EXPECT_LE(calls.Count() - before, mostCalls);
    }
  }
}

}  // namespace
}  // namespace varo::test
