#include "archive/SystemListing.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemLookup.h"
#include "archive/SystemSummary.h"
#include "platform/Paths.h"

namespace varo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using test::ArchiveFolderTest;

TEST_F(ArchiveFolderTest, OrderFoldsAsciiLettersThenComparesUnsignedBytesThenRawBytes) {
  Toto("b.tcl.1");
  Toto("_.tcl.1");         // '_' (0x5F) lies between 'Z' and 'a'; folded it sorts before letters
  Toto("\xC3\xA0.tcl.1");  // bytes above 0x7F sort after every ASCII letter
  Toto("Z.tcl.1");
  Toto("1.tcl.1");
  EXPECT_THAT(ListSystemFiles(folders_, 1).Names,
              ElementsAre("1.tcl.1", "_.tcl.1", "b.tcl.1", "Z.tcl.1", "\xC3\xA0.tcl.1"));
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
  EXPECT_EQ(Code2Filename(folders_, 12, 7), JoinPath(folders_.TotogolFolder, "Ruota.gcl.12"));
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
