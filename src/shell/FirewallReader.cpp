#include "shell/FirewallReader.h"

#include <exception>
#include <utility>

#include "platform/CrashReporter.h"

namespace varo {

FirewallReader::FirewallReader(MainThreadHandOver& handOver, Read read, FollowProfiles follow,
                               std::string program,
                               std::function<void(const FirewallReading&)> judged)
    : handOver_(handOver),
      read_(std::move(read)),
      follow_(std::move(follow)),
      program_(std::move(program)),
      judged_(std::move(judged)) {}

FirewallReader::~FirewallReader() {
  Stop();
}

void FirewallReader::Start(std::int32_t port) {
  if (thread_.joinable()) {
    ReadSoon(port);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    port_ = port;
    stopping_ = false;
    ended_ = false;
  }
  dropping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void FirewallReader::ReadSoon(std::int32_t port) {
  std::lock_guard lock(mutex_);
  port_ = port;
  due_ = true;
  woken_.notify_all();
}

void FirewallReader::Wake() {
  std::lock_guard lock(mutex_);
  due_ = true;
  woken_.notify_all();
}

void FirewallReader::Stop() {
  if (!thread_.joinable()) return;
  dropping_ = true;
  std::unique_lock lock(mutex_);
  stopping_ = true;
  woken_.notify_all();
  // The thread may be waiting for this one to take its reading.
  while (!ended_) {
    lock.unlock();
    handOver_.ServePending();
    lock.lock();
    woken_.wait_for(lock, std::chrono::milliseconds(1), [this] { return ended_; });
  }
  lock.unlock();
  thread_.join();
}

void FirewallReader::Run() {
  PrepareThreadForCrashReports();
  std::unique_ptr<NetworkProfileWatch> watch;
  try {
    if (follow_) watch = follow_([this] { Wake(); });
  } catch (const std::exception&) {
    // No news of profiles: the reading every FirewallReadInterval still follows them.
  }
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const std::int32_t port = port_;
    due_ = false;
    lock.unlock();
    const FirewallReading reading{port, ReadAndJudge(port)};
    handOver_.RunOnMainThread([this, &reading] {
      if (!dropping_) judged_(reading);
    });
    lock.lock();
    woken_.wait_for(lock, FirewallReadGap, [this] { return stopping_; });
    woken_.wait_for(lock, FirewallReadInterval - FirewallReadGap,
                    [this] { return due_ || stopping_; });
  }
  lock.unlock();
  watch.reset();  // on the thread that made it
  lock.lock();
  ended_ = true;
  woken_.notify_all();
}

std::optional<FirewallVerdict> FirewallReader::ReadAndJudge(std::int32_t port) const {
  try {
    const std::optional<FirewallAnswers> answers = read_ ? read_() : std::nullopt;
    if (!answers) return std::nullopt;
    return JudgeFirewall(*answers, program_, port);
  } catch (const std::exception&) {
    return std::nullopt;  // a reading that failed says nothing
  }
}

}  // namespace varo
