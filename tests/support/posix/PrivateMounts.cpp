#include "posix/PrivateMounts.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varo::test {

PrivateMounts::PrivateMounts() {
  static const std::string entered = []() -> std::string {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
    // Nothing mounted here reaches the machine's own namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("mount --make-rprivate /: ") + std::strerror(errno);
    }
    return "";
  }();
  refused_ = entered;
}

PrivateMounts::~PrivateMounts() {
  for (auto point = mounted_.rbegin(); point != mounted_.rend(); ++point) {
    ::umount2(point->c_str(), MNT_DETACH);
  }
}

bool PrivateMounts::Volume(const std::filesystem::path& point, mode_t mode) {
  std::error_code ignored;
  std::filesystem::create_directories(point, ignored);
  // tmpfs reads the mode in octal.
  char octal[16];
  std::snprintf(octal, sizeof octal, "mode=%o", static_cast<unsigned>(mode & 07777));
  if (!refused_.empty() || ::mount("varo-test", point.c_str(), "tmpfs", 0, octal) != 0) {
    return false;
  }
  mounted_.push_back(point);
  return true;
}

bool PrivateMounts::Bind(const std::filesystem::path& source, const std::filesystem::path& point) {
  std::error_code ignored;
  std::filesystem::create_directories(point, ignored);
  if (!refused_.empty() || ::mount(source.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    return false;
  }
  mounted_.push_back(point);
  return true;
}

}  // namespace varo::test
