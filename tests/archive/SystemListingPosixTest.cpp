// Listing, lookup and reading of the archive where POSIX makes what the archive must leave alone
// or cannot change: named pipes, symbolic links among them, and files under the immutable flag.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "ErrorOf.h"
#include "archive/SystemArchive.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "archive/SystemSummary.h"
#include "archive/TicketColumns.h"
#include "posix/ImmutableFlag.h"

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

TEST_P(SystemArchiveTest, FailedDeletionThrowsAndLeavesTheFileFound) {
  const auto file = Toto("Kept.tcl.4", test::Column(0x01));
  test::ImmutableFlag immutable(file);
  if (!immutable.IsSet()) GTEST_SKIP() << "the file system has no immutable flag";
  EXPECT_THROW(DeleteSystemFile(file.string()), std::system_error);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Found(4), file.string());
}

TEST_P(SystemArchiveTest, FileThatCannotBeWrittenIsListedFoundAndSummarised) {
  const auto file = Toto("r.tcl.4", test::Column(0x03));
  test::ImmutableFlag immutable(file);
  if (!immutable.IsSet()) GTEST_SKIP() << "the file system has no immutable flag";
  // Proof that the flag holds: not even root may open it for writing.
  ASSERT_EQ(access(file.c_str(), W_OK), -1);

  EXPECT_THAT(Listed(), ElementsAre("r.tcl.4"));
  EXPECT_EQ(Found(4), file.string());
  SystemSummary summary{};
  GetInfoTotocalcio(file.string(), summary);
  EXPECT_EQ(Copy(summary.Status), 1);
  EXPECT_EQ(Copy(summary.MainCombinations), 16384);  // fourteen doubles
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

}  // namespace
}  // namespace varo
