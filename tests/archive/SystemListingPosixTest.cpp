// Listing, lookup and reading of the archive where POSIX makes what the archive must leave alone
// or cannot change: named pipes, symbolic links among them, and files the server may not change.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "ErrorOf.h"
#include "archive/SummaryCache.h"
#include "archive/SystemArchive.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "archive/SystemSummary.h"
#include "archive/TicketColumns.h"
#include "posix/OtherUser.h"

namespace varo {
namespace {

using test::ArchiveFolderTest;
using test::Copy;
using test::SystemArchiveTest;

using ::testing::ElementsAre;

TEST_P(SystemArchiveTest, ListsOnlyRegularVisibleFilesOfTheGameInFoldedOrder) {
  Toto("c.tcl.5");
  Toto("b.TCL.5");
  Toto("A.tcl.5");
  Toto("a.b.tcl.7");
  Toto("Ruota.Tcl.x");  // no readable code, still a system file
  Toto("notes.txt");
  Toto("Ruota.gcl.12");  // a Totogol name in the Totocalcio folder
  Toto(".hidden.tcl.1");
  Toto("x.tcl");  // the mask needs a dot after the game's extension
  std::filesystem::create_directory(TotoPath("old.tcl.3"));
  std::filesystem::create_symlink(TotoPath("A.tcl.5"), TotoPath("link.tcl.8"));
  std::filesystem::create_symlink(TotoPath("gone"), TotoPath("dangling.tcl.9"));
  ASSERT_EQ(mkfifo(TotoPath("pipe.tcl.4").c_str(), 0600), 0);

  const Listing& listing = Archive().List(1);
  EXPECT_EQ(listing.Folder, folders_.TotocalcioFolder);
  EXPECT_THAT(listing.Names,
              ElementsAre("a.b.tcl.7", "A.tcl.5", "b.TCL.5", "c.tcl.5", "Ruota.Tcl.x"));
}

// Names differing in case only are two files here, ordered by their raw bytes.
TEST_P(SystemArchiveTest, NamesDifferingInCaseOnlyListInRawByteOrder) {
  Toto("b.tcl.1");
  Toto("B.tcl.1");
  Toto("a.tcl.1");
  EXPECT_THAT(Listed(), ElementsAre("a.tcl.1", "B.tcl.1", "b.tcl.1"));
  EXPECT_EQ(Found(1), TotoPath("a.tcl.1"));
}

TEST_P(SystemArchiveTest, AFolderThatCannotBeListedFailsWithItsCause) {
  Toto("x.tcl.1");
  const struct {
    const char* What;
    std::string Folder;
    int Error;
  } cases[] = {
      {"missing", TotoPath("none"), ENOENT},
      {"a file", TotoPath("x.tcl.1"), ENOTDIR},
  };
  for (const auto& [what, folder, error] : cases) {
    SystemArchive archive({folder, folder, folders_.Documents}, {},
                          test::WatchSeamsFor(GetParam()));
    EXPECT_EQ(test::ErrorOf([&] { archive.List(1); }), error) << what;
    EXPECT_EQ(test::ErrorOf([&] { archive.Code2Filename(1, 2); }), error) << what;
  }
}

TEST(FileDateOf, RefusesAYearBeyondSixteenBits) {
  // Year 70000 is about 2.15e12 seconds after 1970.
  EXPECT_THROW(FileDateOf(static_cast<std::time_t>(2'150'000'000'000LL)), std::range_error);
}

TEST(ArchiveFolders, LieBelowTheDocumentsFolder) {
  const ArchiveFolders folders = MakeArchiveFolders("/home/u/Documents");
  EXPECT_EQ(folders.TotocalcioFolder,
            "/home/u/Documents/Quillmarch/Quillmarch Varo Server/Totocalcio");
  EXPECT_EQ(folders.TotogolFolder, "/home/u/Documents/Quillmarch/Quillmarch Varo Server/Totogol");
  EXPECT_EQ(folders.Documents, "/home/u/Documents");
}

// Root may write and delete anything, so the archive below runs as the unprivileged user, in
// folders only root may change, on a file only root may write.
TEST_P(SystemArchiveTest, FileTheServerMayNotChangeIsListedFoundSummarisedAndKeptOnDeletion) {
  const auto file = Toto("r.tcl.4", test::Column(0x03));
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  ASSERT_TRUE(test::OpenToNobody(folders_.TotocalcioFolder, temp_.Path()));

  const int served = test::AsNobody([&] {
    if (::access(file.c_str(), W_OK) == 0) return 10;  // the user could change the file
    SystemArchive archive(folders_, {}, test::WatchSeamsFor(GetParam()));
    if (archive.List(1).Names != std::vector<std::string>{"r.tcl.4"}) return 11;
    if (archive.Code2Filename(4, 1) != file.string()) return 12;
    SystemSummary summary{};
    GetInfoTotocalcio(file.string(), summary);
    // Fourteen doubles.
    if (Copy(summary.Status) != 1 || Copy(summary.MainCombinations) != 16384) return 13;
    try {
      DeleteSystemFile(file.string());
      return 14;  // reported as deleted
    } catch (const std::system_error&) {
    }
    return archive.Code2Filename(4, 1) == file.string() ? 0 : 15;
  });
  EXPECT_EQ(served, 0);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Found(4), file.string());
}

TEST_F(ArchiveFolderTest, SymbolicLinkOrPipeInPlaceOfASystemFileIsNotRead) {
  const auto target = Toto("target.tcl.1", test::Column(0x01));
  std::filesystem::create_symlink(target, TotoPath("link.tcl.2"));
  ASSERT_EQ(mkfifo(TotoPath("pipe.tcl.3").c_str(), 0600), 0);
  SystemSummary summary{};
  EXPECT_THROW(GetInfoTotocalcio(TotoPath("link.tcl.2"), summary), std::system_error);
  EXPECT_THROW(ReadTicketColumns(TotoPath("link.tcl.2"), 1), std::system_error);
  // A pipe must be refused, not waited on.
  EXPECT_THROW(GetInfoTotocalcio(TotoPath("pipe.tcl.3"), summary), std::system_error);
  EXPECT_THROW(GetInfoTotocalcio(TotoPath("missing.tcl.4"), summary), std::system_error);
}

// Within a list page a kept file is examined by its name alone; a link put in its place after the
// listing, even to the very file whose totals are kept, still reaches nothing.
TEST_F(ArchiveFolderTest, AListPageOpensOnlyWhatItMustAndALinkInAFilesPlaceReachesNothing) {
  const auto file = Toto("Kept.tcl.4", test::Column(0x01));
  int opened = 0;
  SummaryCache kept(MaxKeptSummaries, {.FileClock =
                                           [] {
                                             return FileTime{FileClockNow().Seconds + 3600, 0};
                                           },
                                       .Volume =
                                           [&](const ReadOnlyFile&) {
                                             ++opened;
                                             return VolumeKind::Ext;
                                           }});
  ListPage page(folders_.TotocalcioFolder);
  SystemSummary summary{};
  for (int entry = 0; entry < 3; ++entry) {
    GetListedInfo(page, "Kept.tcl.4", GameTotocalcio, summary, kept);
    EXPECT_EQ(Copy(summary.TotalCost), 50);  // one combination
  }
  EXPECT_EQ(opened, 1);  // the first lookup of the page learns the volume
  ListPage nextPage(folders_.TotocalcioFolder);
  GetListedInfo(nextPage, "Kept.tcl.4", GameTotocalcio, summary, kept);
  EXPECT_EQ(opened, 2);  // each page asks again

  std::filesystem::rename(file, TotoPath("Target.tcl.5"));
  std::filesystem::create_symlink(TotoPath("Target.tcl.5"), file);
  EXPECT_THROW(GetListedInfo(page, "Kept.tcl.4", GameTotocalcio, summary, kept), std::system_error);
}

}  // namespace
}  // namespace varo
