// What the archive tests share: a copy of a packed field, and a Documents folder holding both game
// folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "SystemFiles.h"
#include "TempDir.h"
#include "archive/ArchiveFolders.h"
#include "platform/Paths.h"

namespace varo::test {

// A copy of a field of a packed record, which a test may compare without binding a misaligned
// reference to it.
template <typename T>
T Copy(T value) {
  return value;
}

// A temporary Documents folder with both game folders, and system files written into them.
class ArchiveFolderTest : public ::testing::Test {
 protected:
  ArchiveFolderTest() : folders_(MakeArchiveFolders(temp_.Path().string())) {
    std::filesystem::create_directories(folders_.TotocalcioFolder);
    std::filesystem::create_directories(folders_.TotogolFolder);
  }

  std::filesystem::path Toto(const std::string& name, std::string_view bytes = {}) const {
    return temp_.WriteFile(TotoRelative(name), bytes);
  }
  std::filesystem::path Gol(const std::string& name, std::string_view bytes = {}) const {
    return temp_.WriteFile("Quillmarch/Quillmarch Varo Server/Totogol/" + name, bytes);
  }
  static std::string TotoRelative(const std::string& name) {
    return "Quillmarch/Quillmarch Varo Server/Totocalcio/" + name;
  }
  std::string TotoPath(const std::string& name) const {
    return JoinPath(folders_.TotocalcioFolder, name);
  }

  TempDir temp_;
  ArchiveFolders folders_;
};

}  // namespace varo::test
