#include "archive/SystemListing.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "archive/SystemArchive.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemSummary.h"
#include "platform/Paths.h"

namespace varo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using test::ArchiveFolderTest;
using test::SystemArchiveTest;

TEST_P(SystemArchiveTest, OrderFoldsAsciiLettersThenComparesUnsignedBytesThenRawBytes) {
  Toto("b.tcl.1");
  Toto("_.tcl.1");         // '_' (0x5F) lies between 'Z' and 'a'; folded it sorts before letters
  Toto("\xC3\xA0.tcl.1");  // bytes above 0x7F sort after every ASCII letter
  Toto("Z.tcl.1");
  Toto("1.tcl.1");
  EXPECT_THAT(Listed(), ElementsAre("1.tcl.1", "_.tcl.1", "b.tcl.1", "Z.tcl.1", "\xC3\xA0.tcl.1"));
  EXPECT_TRUE(ListsBefore("abc", "ABCD"));
  EXPECT_FALSE(ListsBefore("b", "b"));
}

TEST_P(SystemArchiveTest, EveryGameKindButOneListsTheTotogolFolder) {
  Gol("Ruota.gcl.12");
  Gol("Other.GCL.3");
  Gol("Wrong.tcl.1");
  for (int kind : {0, 2, 3, 255}) {
    const Listing& listing = Archive().List(static_cast<std::uint8_t>(kind));
    EXPECT_EQ(listing.Folder, folders_.TotogolFolder);
    EXPECT_THAT(listing.Names, ElementsAre("Other.GCL.3", "Ruota.gcl.12")) << kind;
  }
  EXPECT_EQ(Found(12, 7), JoinPath(folders_.TotogolFolder, "Ruota.gcl.12"));
  EXPECT_EQ(Found(12, 1), "");
}

TEST_P(SystemArchiveTest, EmptyFolderListsNothingAndFindsNothing) {
  EXPECT_THAT(Listed(), IsEmpty());
  EXPECT_EQ(Found(0), "");
  EXPECT_EQ(Found(-1), "");
}

TEST_P(SystemArchiveTest, MissingFolderFailsInsteadOfListingNothing) {
  // A Documents folder the system cannot name is no folder either, never one below a root.
  for (const std::string& documents : {test::Utf8(temp_.Path() / "nowhere"), std::string()}) {
    const ArchiveFolders folders = MakeArchiveFolders(documents);
    if (documents.empty()) {
      EXPECT_EQ(folders.TotocalcioFolder + folders.TotogolFolder, "");
    }
    SystemArchive archive(folders, {}, test::WatchSeamsFor(GetParam()));
    EXPECT_THROW(archive.List(1), std::system_error) << documents;
    EXPECT_THROW(archive.List(2), std::system_error) << documents;
    EXPECT_THROW(archive.Code2Filename(5, 1), std::system_error) << documents;
  }
}

TEST_P(SystemArchiveTest, ListingsAreKeptOnlyWhereChosen) {
  Toto("a.tcl.1");
  Listed();
  Found(1);
  Listed();
  EXPECT_EQ(Archive().FolderReadings(), GetParam() == test::Listings::Kept ? 1u : 3u);
}

// Made in an order that is neither listing order nor its reverse, so neither the first nor the
// last match in the order the folder is read is the answer; "_" sorts before letters here and
// after them in NTFS's own order.
TEST_P(SystemArchiveTest, LookupFindsTheFirstCodeInListingOrder) {
  for (const char* name :
       {"e.tcl.5", "_.tcl.5", "g.tcl.$5", "c.tcl.5", "B.tcl.5", "a.tcl.6", "d.tcl.0x5", "f.tcl.5",
        "n.tcl.$FFFFFFFF", "m.tcl.$80000000", "w.tcl.x"}) {
    Toto(name);
  }
  // Each answer deleted in turn, as a client deletes it, the next in listing order is found.
  for (const char* name :
       {"_.tcl.5", "B.tcl.5", "c.tcl.5", "d.tcl.0x5", "e.tcl.5", "f.tcl.5", "g.tcl.$5"}) {
    ASSERT_EQ(Found(5), TotoPath(name));
    Archive().Delete(TotoPath(name));
  }
  EXPECT_EQ(Found(5), "");
  EXPECT_EQ(Found(6), TotoPath("a.tcl.6"));
  EXPECT_EQ(Found(7), "");
  // A code is matched by its 32-bit pattern: hexadecimal FFFFFFFF and -1 are the same code, and
  // so is a name without a readable code, which sorts after it.
  EXPECT_EQ(Found(-1), TotoPath("n.tcl.$FFFFFFFF"));
  EXPECT_EQ(Found(static_cast<std::int32_t>(0x80000000u)), TotoPath("m.tcl.$80000000"));
}

TEST_P(SystemArchiveTest, LookupSeesFilesWrittenAndDeletedSinceTheLastOne) {
  EXPECT_EQ(Found(9), "");
  Toto("Later.tcl.9");
  const std::string path = Found(9);
  ASSERT_EQ(path, TotoPath("Later.tcl.9"));
  Archive().Delete(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(Found(9), "");
  // Deleting a file that is already gone counts as done.
  EXPECT_NO_THROW(Archive().Delete(path));
}

// The watch is set before the folder is read: a file made right after the reading is in the next
// answer, however it was kept.
TEST_P(SystemArchiveTest, AFileMadeWhileTheFolderIsReadIsInTheNextAnswer) {
  Toto("a.tcl.1");
  bool made = false;
  SystemArchive archive(folders_, {}, test::WatchSeamsFor(GetParam(), [&](const std::string&) {
                          if (!std::exchange(made, true)) Toto("late.tcl.5");
                        }));
  ASSERT_THAT(archive.List(1).Names, ElementsAre("a.tcl.1"));
  EXPECT_THAT(archive.List(1).Names, ElementsAre("a.tcl.1", "late.tcl.5"));
  EXPECT_EQ(archive.Code2Filename(5, 1), TotoPath("late.tcl.5"));
}

INSTANTIATE_TEST_SUITE_P(Listings, SystemArchiveTest,
                         ::testing::Values(test::Listings::Kept, test::Listings::NotKept),
                         test::ListingsName);

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
