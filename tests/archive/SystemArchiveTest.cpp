// Kept listings: after every kind of change, each followed at once by a request, the archive
// answers as one that keeps nothing does, and an unchanged folder is not read again.
#include "archive/SystemArchive.h"

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#ifdef _WIN32
#include "platform/win32/Windows.h"
#endif

namespace varo {
namespace {

namespace fs = std::filesystem;

// Systems in a folder, enough for keeping to matter: s000.tcl.0 to s299.tcl.299.
constexpr int Systems = 300;

std::string SystemName(int code) {
  std::string number = std::to_string(code);
  return "s" + std::string(3 - std::min<std::size_t>(3, number.size()), '0') + number + ".tcl." +
         number;
}

void Fill(const fs::path& folder, int count) {
  fs::create_directories(folder);
  for (int code = 0; code < count; ++code) test::WriteBytes(folder / SystemName(code), "");
}

// Leaves the file where it is but out of the listing: a dot-name here, the hidden attribute there.
void Hide(const fs::path& file) {
#ifdef _WIN32
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
#else
  fs::rename(file, file.parent_path() / ("." + file.filename().string()));
#endif
}

struct Change {
  const char* What;
  std::function<void(const fs::path& documents, const fs::path& folder)> Make;
  std::size_t Listed;                         // names listed after the change
  std::vector<std::pair<int, bool>> Lookups;  // codes, and whether each is found after it
};

TEST(SystemArchive, AnswersAsAFreshListingAfterEveryChangeAndReadsAnUnchangedFolderOnce) {
  const std::vector<Change> changes = {
      {"created",
       [](auto&, auto& f) { test::WriteBytes(f / "nuovo.tcl.999", ""); },
       301,
       {{999, true}}},
      {"deleted", [](auto&, auto& f) { fs::remove(f / SystemName(1)); }, 299, {{1, false}}},
      {"renamed in",
       [](auto& d, auto& f) {
         test::WriteBytes(d / "fuori.tcl.998", "");
         fs::rename(d / "fuori.tcl.998", f / "fuori.tcl.998");
       },
       301,
       {{998, true}}},
      {"renamed out",
       [](auto& d, auto& f) { fs::rename(f / SystemName(2), d / "via.tcl.2"); },
       299,
       {{2, false}}},
      {"renamed within",
       [](auto&, auto& f) { fs::rename(f / SystemName(3), f / "s003.tcl.1003"); },
       300,
       {{3, false}, {1003, true}}},
      {"hidden", [](auto&, auto& f) { Hide(f / SystemName(4)); }, 299, {{4, false}}},
      {"a name that now sorts first, with a code another has",
       [](auto&, auto& f) { test::WriteBytes(f / "a.tcl.5", ""); },
       301,
       {{5, true}}},
      {"folder removed and made again",
       [](auto&, auto& f) {
         fs::remove_all(f);
         Fill(f, 2);
       },
       2,
       {{1, true}, {7, false}}},
      {"parent renamed and a new folder made at the old path",
       [](auto& d, auto& f) {
         fs::rename(d / "Quillmarch", d / "Quillmarch.old");
         Fill(f, 3);
       },
       3,
       {{2, true}, {9, false}}},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.What);
    test::TempDir documents(test::KeepingVolume());
    const ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
    const fs::path folder = folders.TotocalcioFolder;
    Fill(folder, Systems);
    SystemArchive archive(folders);
    SystemArchive fresh(folders, {}, test::WatchSeamsFor(test::Listings::NotKept));
    EXPECT_EQ(archive.List(1).Names.size(), static_cast<std::size_t>(Systems));
    EXPECT_EQ(archive.Code2Filename(7, 1), JoinPath(folders.TotocalcioFolder, SystemName(7)));
    EXPECT_EQ(archive.FolderReadings(), 1u) << "the listing was not kept";

    change.Make(documents.Path(), folder);
    const std::vector<std::string> names = archive.List(1).Names;
    EXPECT_EQ(names.size(), change.Listed);
    EXPECT_EQ(names, fresh.List(1).Names);
    for (const auto& [code, found] : change.Lookups) {
      const std::string path = archive.Code2Filename(code, 1);
      EXPECT_EQ(!path.empty(), found) << code;
      EXPECT_EQ(path, fresh.Code2Filename(code, 1)) << code;
    }
    // Kept again until the next change.
    const std::size_t readings = archive.FolderReadings();
    archive.List(1);
    EXPECT_EQ(archive.FolderReadings(), readings);
  }
}

TEST(SystemArchive, AFolderMadeAfterTheStartAndOneSharedByBothGamesAreWatchedAsTheyCome) {
  test::TempDir documents(test::KeepingVolume());
  const fs::path folder = documents.Path() / "Sistemi";
  // Both games on one folder: one change reaches both listings.
  SystemArchive archive(
      ArchiveFolders{folder.string(), folder.string(), documents.Path().string()});
  EXPECT_THROW(archive.List(1), std::system_error);
  EXPECT_THROW(archive.Code2Filename(1, 2), std::system_error);

  Fill(folder, 3);
  test::WriteBytes(folder / "Ruota.gcl.1", "");
  EXPECT_EQ(archive.List(1).Names.size(), 3u);
  EXPECT_EQ(archive.List(2).Names, (std::vector<std::string>{"Ruota.gcl.1"}));
  EXPECT_EQ(archive.FolderReadings(), 2u);
  archive.List(1);
  archive.List(2);
  EXPECT_EQ(archive.FolderReadings(), 2u);

  test::WriteBytes(folder / "Altro.gcl.2", "");
  test::WriteBytes(folder / "Altro.tcl.2", "");
  EXPECT_EQ(archive.List(2).Names, (std::vector<std::string>{"Altro.gcl.2", "Ruota.gcl.1"}));
  EXPECT_EQ(archive.List(1).Names.size(), 4u);
  // Each game's watch released and set again: still both kept, and both told of the next change.
  fs::remove(folder / "Altro.gcl.2");
  fs::remove(folder / "Altro.tcl.2");
  EXPECT_EQ(archive.List(1).Names.size(), 3u);
  EXPECT_EQ(archive.List(2).Names.size(), 1u);
  const std::size_t readings = archive.FolderReadings();
  archive.List(1);
  archive.List(2);
  EXPECT_EQ(archive.FolderReadings(), readings);
}

}  // namespace
}  // namespace varo
