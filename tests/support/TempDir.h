// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varo::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes a file below the folder (parents created) and returns its full path; relative is UTF-8.
  std::filesystem::path WriteFile(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// A path as the program spells paths, UTF-8 on every system: a plain string() is in the ANSI code
// page on Windows.
std::string Utf8(const std::filesystem::path& path);

}  // namespace varo::test
