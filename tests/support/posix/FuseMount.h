// A folder shown again through a FUSE volume (bindfs), mounted while the holder lives, for tests of
// what the server must not keep on volumes whose times another program stamps.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace varo::test {

class FuseMount {
 public:
  // Mounts source at mountPoint (an empty folder); Refused() says why when it could not.
  FuseMount(const std::filesystem::path& source, std::filesystem::path mountPoint)
      : mountPoint_(std::move(mountPoint)) {
    if (!std::filesystem::exists("/dev/fuse")) {
      refused_ = "/dev/fuse is missing";
    } else if (std::system("command -v bindfs >/dev/null 2>&1") != 0) {
      refused_ = "bindfs is not installed";
    } else if (std::system(("bindfs '" + source.string() + "' '" + mountPoint_.string() +
                            "' >/dev/null 2>&1")
                               .c_str()) != 0) {
      refused_ = "the FUSE mount was refused";
    }
  }
  ~FuseMount() {
    if (refused_.empty()) std::system(("umount '" + mountPoint_.string() + "'").c_str());
  }
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;

  // Empty when mounted, else the reason it is not.
  const std::string& Refused() const { return refused_; }

 private:
  std::filesystem::path mountPoint_;
  std::string refused_;
};

}  // namespace varo::test
