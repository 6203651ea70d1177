// The single-instance guard: an exclusive lock on a file, dropped by the kernel when the holder
// ends.
#pragma once

#include <string>

namespace varo {

// The lock file: "Quillmarch Varo server.lock" in $XDG_RUNTIME_DIR, else in settingsFolder.
std::string InstanceLockPath(const std::string& settingsFolder);

class InstanceLock {
 public:
  // Tries to take the lock without waiting. A lock file that cannot be created or locked for any
  // reason but another holder counts as taken, so the program runs as the first instance.
  explicit InstanceLock(const std::string& lockFilePath);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Whether another process held the lock when it was tried.
  bool HeldElsewhere() const { return heldElsewhere_; }
  // Lets the lock go now (also done by the destructor).
  void Release();

 private:
  int fd_ = -1;
  bool heldElsewhere_ = false;
};

}  // namespace varo
