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
  explicit InstanceLock(const std::string& lockName);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Whether another process of this user held the lock when it was tried.
  bool HeldElsewhere() const { return heldElsewhere_; }
  // Who holds the name when it is another user's process ("a process of user 65534"), so this
  // one runs without a guard; "" otherwise.
  const std::string& TakenBy() const { return takenBy_; }
  // Lets the lock go now (also done by the destructor).
  void Release();

 private:
  std::intptr_t native_ = -1;  // the lock file's descriptor, or the mutex's handle; -1 when none
  bool heldElsewhere_ = false;
  std::string takenBy_;
};

}  // namespace varo
