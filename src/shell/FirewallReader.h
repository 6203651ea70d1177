// The firewall's policy read and judged on a thread of its own, so that the main thread, which
// serves requests, never waits for the firewall's service or the file system: at start, soon after
// a network or profile change, and every FirewallReadInterval otherwise.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "endpoint/MainThreadHandOver.h"
#include "platform/FirewallPolicy.h"
#include "shell/FirewallVerdict.h"

namespace varo {

// How often the policy is read when no change is told of: rules are changed without any news.
inline constexpr std::chrono::minutes FirewallReadInterval{1};
// The least time between two readings, so a burst of news about a network coming up is read once
// it has settled rather than once per piece.
inline constexpr std::chrono::seconds FirewallReadGap{1};

// What one reading found for one input port; no verdict where the firewall could not be read.
struct FirewallReading {
  std::int32_t Port = 0;
  std::optional<FirewallVerdict> Verdict;
};

class FirewallReader {
 public:
  // The firewall's answers, read on the reader's thread.
  using Read = std::function<std::optional<FirewallAnswers>()>;
  // Follows the current networks' profiles, calling its argument after a change, for as long as
  // what it returns lives; made and ended on the reader's thread.
  using FollowProfiles = std::function<std::unique_ptr<NetworkProfileWatch>(std::function<void()>)>;

  // Readings are judged for program (its full path) and handed to judged through handOver, on the
  // main thread. Nothing is read before Start.
  FirewallReader(MainThreadHandOver& handOver, Read read, FollowProfiles follow,
                 std::string program, std::function<void(const FirewallReading&)> judged);
  // Stops the thread first.
  ~FirewallReader();
  FirewallReader(const FirewallReader&) = delete;
  FirewallReader& operator=(const FirewallReader&) = delete;

  // Main thread: starts the thread, whose first reading is judged for port; throws
  // std::system_error where no thread can be started. Once started, the same as ReadSoon.
  void Start(std::int32_t port);
  // Any thread: has the policy read again soon and judged for port (a network or the port changed).
  void ReadSoon(std::int32_t port);
  // Main thread: ends the thread, serving hand-overs while it waits, so a reading on its way
  // cannot hold it up; a reading that arrives from now on is dropped.
  void Stop();

 private:
  // The thread's loop: read, hand over, wait for news or the interval.
  void Run();
  // Any thread: has the policy read again soon, for the port asked last.
  void Wake();
  // What the firewall does with requests to port, or nothing where it cannot be read.
  std::optional<FirewallVerdict> ReadAndJudge(std::int32_t port) const;

  MainThreadHandOver& handOver_;
  const Read read_;
  const FollowProfiles follow_;
  const std::string program_;
  const std::function<void(const FirewallReading&)> judged_;
  bool dropping_ = false;  // main thread: readings are no longer wanted

  std::mutex mutex_;
  std::condition_variable woken_;
  std::int32_t port_ = 0;
  bool due_ = false;
  bool stopping_ = false;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace varo
