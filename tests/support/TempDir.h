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
  // Writes a file below the folder (parents created) and returns its full path.
  std::filesystem::path WriteFile(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace varo::test
