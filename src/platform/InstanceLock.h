// The single-instance guard, dropped by the system when the holder ends: an exclusive lock on a
// file on Linux, a named mutex on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace varo {

// What names the lock. Linux: the lock file "Quillmarch Varo server.lock" in $XDG_RUNTIME_DIR, else
// in settingsFolder. Windows: the mutex "Quillmarch Varo server", one per logon session.
std::string InstanceLockPath(const std::string& settingsFolder);

class InstanceLock {
 public:
  // Tries to take the lock without waiting. A lock that cannot be created or taken for any reason
  // but another holder counts as taken, so the program runs as the first instance.
  explicit InstanceLock(const std::string& lockName);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Whether another process held the lock when it was tried.
  bool HeldElsewhere() const { return heldElsewhere_; }
  // Lets the lock go now (also done by the destructor).
  void Release();

 private:
  std::intptr_t native_ = -1;  // the lock file's descriptor, or the mutex's handle; -1 when none
  bool heldElsewhere_ = false;
};

}  // namespace varo
