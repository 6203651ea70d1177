// The immutable flag of a file or folder, held while the holder lives: not even root may then
// write, rename or delete it, nor create anything in such a folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace varo::test {

class ImmutableFlag {
 public:
  explicit ImmutableFlag(std::filesystem::path path) : path_(std::move(path)) {
    set_ = Run("chattr +i '" + path_.string() + "' 2>/dev/null");
  }
  ~ImmutableFlag() { Clear(); }
  ImmutableFlag(const ImmutableFlag&) = delete;
  ImmutableFlag& operator=(const ImmutableFlag&) = delete;

  // False when the file system does not support the flag; the test is then skipped.
  bool IsSet() const { return set_; }

  // Takes the flag away before the holder ends; true when it is no longer set.
  bool Clear() {
    if (set_) set_ = !Run("chattr -i '" + path_.string() + "'");
    return !set_;
  }

 private:
  static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

  std::filesystem::path path_;
  bool set_ = false;
};

}  // namespace varo::test
