#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Paths.h"

namespace varo {

std::string InstanceLockPath(const std::string& settingsFolder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = (runtime != nullptr && *runtime != '\0') ? runtime : settingsFolder;
  return JoinPath(folder, "Quillmarch Varo server.lock");
}

InstanceLock::InstanceLock(const std::string& lockName) {
  // Close-on-exec, so that no child process keeps the lock alive after this one ends.
  const int fd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    native_ = fd;
    return;
  }
  heldElsewhere_ = errno == EWOULDBLOCK;
  ::close(fd);
}

InstanceLock::~InstanceLock() {
  Release();
}

void InstanceLock::Release() {
  if (native_ < 0) return;
  ::close(static_cast<int>(native_));  // closing the only descriptor drops the lock
  native_ = -1;
}

}  // namespace varo
