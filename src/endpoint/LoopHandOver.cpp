#include "LoopHandOver.h"

namespace varo {

void LoopHandOver::RunOnMainThread(const std::function<void()>& work) {
  Job job{&work};
  std::unique_lock lock(mutex_);
  jobs_.push_back(&job);
  queued_.notify_all();
  done_.wait(lock, [&] { return job.Done; });
}

void LoopHandOver::ServePending() {
  std::unique_lock lock(mutex_);
  while (!jobs_.empty()) {
    Job* job = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    (*job->Work)();
    lock.lock();
    job->Done = true;
    done_.notify_all();
  }
}

bool LoopHandOver::ServeUntil(const std::function<bool()>& stop,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ServePending();
    if (stop()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    // Short waits, so a stop condition that changes on another thread is seen soon.
    const auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                     std::chrono::milliseconds(10));
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, slice, [&] { return !jobs_.empty() || woken_; });
    woken_ = false;
  }
}

void LoopHandOver::ServeFor(std::chrono::milliseconds duration) {
  ServeUntil([] { return false; }, duration);
}

void LoopHandOver::Wake() {
  std::lock_guard lock(mutex_);
  woken_ = true;
  queued_.notify_all();
}

}  // namespace varo
