// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varo::test {

class TempDir {
 public:
  TempDir();
  // A folder below base instead of the system's temporary folder.
  explicit TempDir(const std::filesystem::path& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes a file below the folder (parents created) and returns its full path; relative is UTF-8.
  std::filesystem::path WriteFile(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// A folder on a volume kind whose readings the server keeps (a tmpfs on Linux; under Wine every
// volume reads as local NTFS), for tests that expect summaries or listings to be kept: the
// system's temporary folder may lie on any kind.
std::filesystem::path KeepingVolume();

// A path as the program spells paths, UTF-8 on every system: a plain string() is in the ANSI code
// page on Windows.
std::string Utf8(const std::filesystem::path& path);

}  // namespace varo::test
