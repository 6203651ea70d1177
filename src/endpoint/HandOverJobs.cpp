#include "HandOverJobs.h"

#include <chrono>

namespace varo {

namespace {

// How often a waiting listener announces again when its last announcement failed.
constexpr std::chrono::milliseconds ReannounceInterval(100);

}  // namespace

void HandOverJobs::RunAndWait(const std::function<void()>& work,
                              const std::function<bool()>& announce) {
  // The job lives in the queue, not in the announcement: an announcement lost with its window
  // still leaves the job to ServePending, which a stopping endpoint calls while it waits here.
  Job job{&work};
  std::unique_lock lock(mutex_);
  jobs_.push_back(&job);
  lock.unlock();
  bool announced = announce();
  lock.lock();
  while (!job.Done) {
    if (announced) {
      done_.wait(lock);
    } else if (!done_.wait_for(lock, ReannounceInterval, [&] { return job.Done; })) {
      lock.unlock();
      announced = announce();
      lock.lock();
    }
  }
}

void HandOverJobs::ServePending() {
  std::unique_lock lock(mutex_);
  while (!jobs_.empty()) {
    Job* job = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    // A throwing job must neither leave its listener waiting forever nor escape into the loop
    // that serves hand-overs, a window procedure among them.
    try {
      (*job->Work)();
    } catch (...) {
    }
    lock.lock();
    job->Done = true;
    done_.notify_all();
  }
}

}  // namespace varo
