// The queue behind a hand-over: the listener queues its work and waits, the main thread runs it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace varo {

class HandOverJobs {
 public:
  // Listener thread: queues work, calls announce to tell the main thread, and returns once
  // ServePending has run it; while announce's last call failed it is called again every 100 ms.
  void RunAndWait(const std::function<void()>& work, const std::function<bool()>& announce);

  // Main thread: runs every queued job, even one whose announcement never arrived.
  void ServePending();

 private:
  struct Job {
    const std::function<void()>* Work;
    bool Done = false;
  };
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<Job*> jobs_;
};

}  // namespace varo
