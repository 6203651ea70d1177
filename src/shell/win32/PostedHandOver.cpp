#include "shell/win32/PostedHandOver.h"

#include <chrono>

namespace varo {

namespace {

// How often a waiting listener posts again when its message could not be posted.
constexpr std::chrono::milliseconds RepostInterval(100);

}  // namespace

void PostedHandOver::RunOnMainThread(const std::function<void()>& work) {
  // The job lives in the queue, not in the message: a message lost with its window still leaves
  // the job to ServePending, which a stopping endpoint calls while it waits for this thread.
  Job job{&work};
  std::unique_lock lock(mutex_);
  jobs_.push_back(&job);
  lock.unlock();
  bool posted = Post();
  lock.lock();
  while (!job.Done) {
    if (posted) {
      done_.wait(lock);
    } else if (!done_.wait_for(lock, RepostInterval, [&] { return job.Done; })) {
      lock.unlock();
      posted = Post();
      lock.lock();
    }
  }
}

void PostedHandOver::ServePending() {
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

bool PostedHandOver::Post() {
  const HWND window = window_;
  return window != nullptr && PostMessageW(window, Message, 0, 0) != 0;
}

}  // namespace varo
