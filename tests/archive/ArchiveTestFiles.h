// Helpers for archive tests: column bytes, file dates and the immutable flag.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace varo::test {

// A copy of a field of a packed record, which a test may compare without binding a misaligned
// reference to it.
template <typename T>
T Copy(T value) {
  return value;
}

// Fourteen bytes of one column, each byte given.
inline std::string Column(std::vector<std::uint8_t> bytes) {
  bytes.resize(14, 0x01);
  return std::string(bytes.begin(), bytes.end());
}

// A column whose fourteen bytes are all the same.
inline std::string UniformColumn(std::uint8_t byte) {
  return std::string(14, static_cast<char>(byte));
}

// The local-time moment of a calendar date at noon.
inline std::time_t LocalNoon(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// Sets a file's modification time; returns false when it cannot be set.
inline bool SetModified(const std::filesystem::path& file, std::time_t when) {
  const timespec times[2] = {{when, 0}, {when, 0}};
  return utimensat(AT_FDCWD, file.c_str(), times, 0) == 0;
}

// Holds the immutable flag on a file while it lives, so that not even root may write or delete it.
class ImmutableFlag {
 public:
  explicit ImmutableFlag(std::filesystem::path file) : file_(std::move(file)) {
    set_ = Run("chattr +i '" + file_.string() + "' 2>/dev/null");
  }
  ~ImmutableFlag() {
    if (set_) Run("chattr -i '" + file_.string() + "'");
  }
  ImmutableFlag(const ImmutableFlag&) = delete;
  ImmutableFlag& operator=(const ImmutableFlag&) = delete;

  // False when the file system does not support the flag; the test is then skipped.
  bool IsSet() const { return set_; }

 private:
  static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

  std::filesystem::path file_;
  bool set_ = false;
};

}  // namespace varo::test
