// Volumes of a test's own: the calling thread enters a mount namespace of its own (once per
// process; its later threads and children share it), where the tmpfs volumes and bind mounts made
// here are seen by this process alone. Each goes when its holder does. Needs root.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace varo::test {

class PrivateMounts {
 public:
  // Enters the namespace; Refused() says why when it could not.
  PrivateMounts();
  // Unmounts what this holder mounted, the last first.
  ~PrivateMounts();
  PrivateMounts(const PrivateMounts&) = delete;
  PrivateMounts& operator=(const PrivateMounts&) = delete;

  // Mounts an empty tmpfs volume at point (made when missing), its top of the given mode; false
  // when it could not.
  bool Volume(const std::filesystem::path& point, mode_t mode = 0755);
  // Shows the folder source again at point (made when missing); false when it could not.
  bool Bind(const std::filesystem::path& source, const std::filesystem::path& point);

  // Empty when the namespace is entered, else the reason it is not.
  const std::string& Refused() const { return refused_; }

 private:
  std::vector<std::filesystem::path> mounted_;
  std::string refused_;
};

}  // namespace varo::test
