// What the archive tests share: a copy of a packed field, a Documents folder holding both game
// folders, and the archive on it with listings kept and without.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SystemFiles.h"
#include "TempDir.h"
#include "archive/ArchiveFolders.h"
#include "archive/SystemArchive.h"
#include "platform/FolderWatch.h"
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
  ArchiveFolderTest() : ArchiveFolderTest(std::filesystem::temp_directory_path()) {}
  // The Documents folder below base.
  explicit ArchiveFolderTest(const std::filesystem::path& base)
      : temp_(base), folders_(MakeArchiveFolders(Utf8(temp_.Path()))) {
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

// Whether an archive keeps its listings as the volume allows, or keeps none, as on a network share
// or a FUSE volume.
enum class Listings { Kept, NotKept };

// The watcher's seams for such an archive; afterListing runs once each folder's names are read.
inline FolderWatchSeams WatchSeamsFor(Listings listings,
                                      std::function<void(const std::string&)> afterListing = {}) {
  FolderWatchSeams seams;
  if (listings == Listings::NotKept) seams.MayKeep = [](VolumeKind) { return false; };
  seams.AfterListing = std::move(afterListing);
  return seams;
}

inline std::string ListingsName(const ::testing::TestParamInfo<Listings>& info) {
  return info.param == Listings::Kept ? "Kept" : "NotKept";
}

// The archive's edge cases, run once with listings kept (on a volume where they may be) and once
// without.
class SystemArchiveTest : public ArchiveFolderTest, public ::testing::WithParamInterface<Listings> {
 protected:
  SystemArchiveTest()
      : ArchiveFolderTest(GetParam() == Listings::Kept ? KeepingVolume()
                                                       : std::filesystem::temp_directory_path()) {}

  // The archive on the test's folders, made at the first use.
  SystemArchive& Archive() {
    if (!archive_) archive_.emplace(folders_, SummaryCacheSeams{}, WatchSeamsFor(GetParam()));
    return *archive_;
  }
  std::vector<std::string> Listed(std::uint8_t gameKind = GameTotocalcio) {
    return Archive().List(gameKind).Names;
  }
  std::string Found(std::int32_t code, std::uint8_t gameKind = GameTotocalcio) {
    return Archive().Code2Filename(code, gameKind);
  }

 private:
  std::optional<SystemArchive> archive_;
};

}  // namespace varo::test
