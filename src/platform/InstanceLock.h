// The single-instance guard, dropped by the system when the holder ends: a listening socket under
// an abstract name on Linux, a named mutex on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace varo {

// What names the lock. Linux: "quillmarch-varo-server-<uid>" in the abstract socket namespace, one
// per user whatever the environment (settingsFolder unused). Windows: the mutex "Quillmarch Varo
// server", one per logon session.
std::string InstanceLockPath(const std::string& settingsFolder);

class InstanceLock {
 public:
  // Tries to take the lock without waiting. A lock that cannot be created or taken for any reason
  // but another holder of this user counts as taken, so the program runs as the first instance.
  // When this user's holder is found and askToShow is set, it is asked to show its window (Linux,
  // on the guard's connection; on Windows the caller asks the holder's window itself).
  explicit InstanceLock(const std::string& lockName, bool askToShow = false);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Whether another process of this user held the lock when it was tried.
  bool HeldElsewhere() const { return heldElsewhere_; }
  // Who holds the name when it is another user's process ("a process of user 65534"), so this
  // one runs without a guard; "" otherwise.
  const std::string& TakenBy() const { return takenBy_; }
  // Whether the holder confirmed the request to show its window (Linux only).
  bool ShowConfirmed() const { return showConfirmed_; }
  // Lets the lock go now (also done by the destructor).
  void Release();

  // The descriptor the holder's main loop watches for later starts knocking (Linux: the listening
  // socket); -1 when there is none to watch.
  int KnockHandle() const;
  // Accepts, answers (with this user id) and closes the starts waiting on KnockHandle, a bounded
  // number a call, never waiting longer than a quarter of a second in all; true when one of this
  // user asked for the window to be shown.
  bool AnswerKnocks();

 private:
  std::intptr_t native_ = -1;  // the lock file's descriptor, or the mutex's handle; -1 when none
  bool heldElsewhere_ = false;
  bool showConfirmed_ = false;
  std::string takenBy_;
};

}  // namespace varo
