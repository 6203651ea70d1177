#include "archive/SystemListing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemLookup.h"
#include "archive/SystemSummary.h"
#include "posix/ImmutableFlag.h"

namespace varo {
namespace {

using test::Copy;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
    return folders_.TotocalcioFolder + "/" + name;
  }

  test::TempDir temp_;
  ArchiveFolders folders_;
};

TEST_F(ArchiveFolderTest, ListsOnlyRegularVisibleFilesOfTheGameInFoldedOrder) {
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

  const Listing listing = ListSystemFiles(folders_, 1);
  EXPECT_EQ(listing.Folder, folders_.TotocalcioFolder);
  EXPECT_THAT(listing.Names,
              ElementsAre("a.b.tcl.7", "A.tcl.5", "b.TCL.5", "c.tcl.5", "Ruota.Tcl.x"));
}

TEST_F(ArchiveFolderTest, OrderFoldsAsciiLettersThenComparesUnsignedBytesThenRawBytes) {
  Toto("b.tcl.1");
  Toto("B.tcl.1");
  Toto("_.tcl.1");         // '_' (0x5F) lies between 'Z' and 'a'; folded it sorts before letters
  Toto("\xC3\xA0.tcl.1");  // bytes above 0x7F sort after every ASCII letter
  Toto("Z.tcl.1");
  Toto("1.tcl.1");
  EXPECT_THAT(ListSystemFiles(folders_, 1).Names,
              ElementsAre("1.tcl.1", "_.tcl.1", "B.tcl.1", "b.tcl.1", "Z.tcl.1", "\xC3\xA0.tcl.1"));
  EXPECT_TRUE(ListsBefore("abc", "ABCD"));
  EXPECT_FALSE(ListsBefore("b", "b"));
}

TEST_F(ArchiveFolderTest, EveryGameKindButOneListsTheTotogolFolder) {
  Gol("Ruota.gcl.12");
  Gol("Other.GCL.3");
  Gol("Wrong.tcl.1");
  for (int kind : {0, 2, 3, 255}) {
    const Listing listing = ListSystemFiles(folders_, static_cast<std::uint8_t>(kind));
    EXPECT_EQ(listing.Folder, folders_.TotogolFolder);
    EXPECT_THAT(listing.Names, ElementsAre("Other.GCL.3", "Ruota.gcl.12")) << kind;
  }
  EXPECT_EQ(Code2Filename(folders_, 12, 7), folders_.TotogolFolder + "/Ruota.gcl.12");
  EXPECT_EQ(Code2Filename(folders_, 12, 1), "");
}

TEST_F(ArchiveFolderTest, EmptyFolderListsNothingAndFindsNothing) {
  EXPECT_THAT(ListSystemFiles(folders_, 1).Names, IsEmpty());
  EXPECT_EQ(Code2Filename(folders_, 0, 1), "");
  EXPECT_EQ(Code2Filename(folders_, -1, 1), "");
}

TEST(ArchiveFolders, MissingFolderFailsInsteadOfListingNothing) {
  test::TempDir temp;
  const ArchiveFolders folders = MakeArchiveFolders((temp.Path() / "nowhere").string());
  EXPECT_THROW(ListSystemFiles(folders, 1), std::system_error);
  EXPECT_THROW(ListSystemFiles(folders, 2), std::system_error);
  EXPECT_THROW(Code2Filename(folders, 5, 1), std::system_error);
}

TEST_F(ArchiveFolderTest, LookupFindsTheFirstCodeInListingOrder) {
  Toto("b.tcl.5");
  Toto("c.tcl.5");
  Toto("A.tcl.5");
  Toto("n.tcl.$FFFFFFFF");
  Toto("d.tcl.$80000000");
  Toto("w.tcl.x");
  EXPECT_EQ(Code2Filename(folders_, 5, 1), TotoPath("A.tcl.5"));
  EXPECT_EQ(Code2Filename(folders_, 6, 1), "");
  // A code is matched by its 32-bit pattern: hexadecimal FFFFFFFF and -1 are the same code, and
  // so is a name without a readable code.
  EXPECT_EQ(Code2Filename(folders_, -1, 1), TotoPath("n.tcl.$FFFFFFFF"));
  EXPECT_EQ(Code2Filename(folders_, static_cast<std::int32_t>(0x80000000u), 1),
            TotoPath("d.tcl.$80000000"));
}

TEST_F(ArchiveFolderTest, LookupSeesFilesWrittenAndDeletedSinceTheLastOne) {
  EXPECT_EQ(Code2Filename(folders_, 9, 1), "");
  Toto("Later.tcl.9");
  const std::string path = Code2Filename(folders_, 9, 1);
  ASSERT_EQ(path, TotoPath("Later.tcl.9"));
  DeleteSystemFile(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(Code2Filename(folders_, 9, 1), "");
  // Deleting a file that is already gone counts as done.
  EXPECT_NO_THROW(DeleteSystemFile(path));
}

TEST_F(ArchiveFolderTest, FailedDeletionThrowsAndLeavesTheFileFound) {
  const auto file = Toto("Kept.tcl.4", test::Column(0x01));
  test::ImmutableFlag immutable(file);
  if (!immutable.IsSet()) GTEST_SKIP() << "the file system has no immutable flag";
  EXPECT_THROW(DeleteSystemFile(file.string()), std::system_error);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Code2Filename(folders_, 4, 1), file.string());
}

TEST_F(ArchiveFolderTest, FileThatCannotBeWrittenIsListedFoundAndSummarised) {
  const auto file = Toto("r.tcl.4", test::Column(0x03));
  test::ImmutableFlag immutable(file);
  if (!immutable.IsSet()) GTEST_SKIP() << "the file system has no immutable flag";
  // Proof that the flag holds: not even root may open it for writing.
  ASSERT_EQ(access(file.c_str(), W_OK), -1);

  EXPECT_THAT(ListSystemFiles(folders_, 1).Names, ElementsAre("r.tcl.4"));
  EXPECT_EQ(Code2Filename(folders_, 4, 1), file.string());
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
  // A pipe must be refused, not waited on.
  EXPECT_THROW(GetInfoTotocalcio(TotoPath("pipe.tcl.3"), summary), std::system_error);
  EXPECT_THROW(GetInfoTotocalcio(TotoPath("missing.tcl.4"), summary), std::system_error);
}

TEST_F(ArchiveFolderTest, FileDateIsTheLocalModificationDateWhateverTheYear) {
  const auto file = Toto("d.tcl.1");
  test::SetModifiedDate(file, 2006, 3, 15);
  FileDate date = SystemFileDate(file.string());
  EXPECT_EQ(date.Year, 2006);
  EXPECT_EQ(date.Month, 3);
  EXPECT_EQ(date.Day, 15);

  test::SetModifiedDate(file, 1970, 1, 2);
  date = SystemFileDate(file.string());
  EXPECT_EQ(date.Year, 1970);
  EXPECT_EQ(date.Month, 1);
  EXPECT_EQ(date.Day, 2);

  test::SetModifiedDate(file, 2150, 12, 31);
  date = SystemFileDate(file.string());
  EXPECT_EQ(date.Year, 2150);
  EXPECT_EQ(date.Month, 12);
  EXPECT_EQ(date.Day, 31);

  std::filesystem::remove(file);
  EXPECT_THROW(SystemFileDate(file.string()), std::system_error);
}

TEST(FileDateOf, RefusesAYearBeyondSixteenBits) {
  // Year 70000 is about 2.15e12 seconds after 1970.
  EXPECT_THROW(FileDateOf(static_cast<std::time_t>(2'150'000'000'000LL)), std::range_error);
}

TEST(MatchesMask, IsAWildcardMatchIgnoringAsciiCase) {
  EXPECT_TRUE(MatchesMask("a.tcl.1", "*.tcl.*"));
  EXPECT_TRUE(MatchesMask(".tcl.", "*.tcl.*"));
  EXPECT_TRUE(MatchesMask("x.TcL.y.tcl", "*.tcl.*"));
  EXPECT_TRUE(MatchesMask("a.tcl.tcl.", "*.tcl.*"));
  EXPECT_FALSE(MatchesMask("a.tcl", "*.tcl.*"));
  EXPECT_FALSE(MatchesMask("atcl.1", "*.tcl.*"));
  EXPECT_FALSE(MatchesMask("a.t\xC3\xA7l.1", "*.tcl.*"));
}

}  // namespace
}  // namespace varo
