// An ext2 volume in an image file, mounted through FUSE (fuse2fs) while the holder lives, whose
// file times have whole seconds: a rewrite within one second changes none of them, as on the
// coarse file systems a user's home may lie on.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace varo::test {

class CoarseTimesVolume {
 public:
  // Makes the image beside mountPoint (an empty folder) and mounts it there; Refused() says why
  // when it could not.
  explicit CoarseTimesVolume(std::filesystem::path mountPoint)
      : mountPoint_(std::move(mountPoint)) {
    const std::string image = mountPoint_.string() + ".img";
    if (!std::filesystem::exists("/dev/fuse")) {
      refused_ = "/dev/fuse is missing";
    } else if (std::system("command -v fuse2fs >/dev/null 2>&1") != 0) {
      refused_ = "fuse2fs is not installed";
    } else if (std::system(("truncate -s 4M '" + image + "' && mke2fs -q -t ext2 -I 128 -F '" +
                            image + "' >/dev/null 2>&1 && fuse2fs '" + image + "' '" +
                            mountPoint_.string() + "' -o fakeroot >/dev/null 2>&1")
                               .c_str()) != 0) {
      refused_ = "the ext2 image could not be made or mounted";
    }
  }
  ~CoarseTimesVolume() {
    if (refused_.empty()) std::system(("umount '" + mountPoint_.string() + "'").c_str());
  }
  CoarseTimesVolume(const CoarseTimesVolume&) = delete;
  CoarseTimesVolume& operator=(const CoarseTimesVolume&) = delete;

  // Empty when mounted, else the reason it is not.
  const std::string& Refused() const { return refused_; }

 private:
  std::filesystem::path mountPoint_;
  std::string refused_;
};

}  // namespace varo::test
