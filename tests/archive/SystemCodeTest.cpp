#include "archive/SystemCode.h"

#include <gtest/gtest.h>

#include "archive/ArchiveFolders.h"

namespace varo {
namespace {

TEST(GetCodice, ReadsTheLastExtensionByTheIntegerRule) {
  EXPECT_EQ(GetCodice("Ruota.tcl.12"), 12);
  EXPECT_EQ(GetCodice("x.tcl.0012"), 12);
  EXPECT_EQ(GetCodice("x.tcl.007"), 7);
  EXPECT_EQ(GetCodice("x.tcl.-3"), -3);
  EXPECT_EQ(GetCodice("x.tcl.+5"), 5);
  EXPECT_EQ(GetCodice("x.tcl. 7"), 7);
  EXPECT_EQ(GetCodice("x.tcl.   7"), 7);
  EXPECT_EQ(GetCodice("x.tcl.$1F"), 31);
  EXPECT_EQ(GetCodice("x.tcl.x1F"), 31);
  EXPECT_EQ(GetCodice("x.tcl.X1f"), 31);
  EXPECT_EQ(GetCodice("x.tcl.0x1F"), 31);
  EXPECT_EQ(GetCodice("x.tcl.0X1f"), 31);
  EXPECT_EQ(GetCodice("x.tcl.$FFFFFFFF"), -1);
  EXPECT_EQ(GetCodice("x.tcl.$80000000"), -2147483647 - 1);
  EXPECT_EQ(GetCodice("x.tcl.-$10"), -16);
  EXPECT_EQ(GetCodice("x.tcl.2147483647"), 2147483647);
  EXPECT_EQ(GetCodice("x.tcl.-2147483648"), -2147483647 - 1);
}

TEST(GetCodice, GivesMinusOneForTextThatIsNotAnInteger) {
  for (const char* name :
       {"x.tcl.7 ", "x.tcl.abc", "x.tcl.-", "x.tcl.+", "x.tcl.$", "x.tcl.0x", "x.tcl.",
        "x.tcl.2147483648", "x.tcl.-2147483649", "x.tcl.$100000000", "x.tcl.\t7", "x.tcl.- 7",
        "x.tcl.1e3", "x.tcl.12abc", "noextension", ""}) {
    EXPECT_EQ(GetCodice(name), -1) << name;
  }
}

TEST(GetCodice, TakesFolderBoundariesIntoAccount) {
  EXPECT_EQ(GetCodice("/home/u/data.old/name.tcl.9"), 9);
  EXPECT_EQ(GetCodice("C:\\data.old\\name.tcl.9"), 9);
  // The last dot lies in a folder name: the file name itself carries no code.
  EXPECT_EQ(GetCodice("/home/u/data.5/name"), -1);
  EXPECT_EQ(GetCodice("C:\\data.5\\name"), -1);
  EXPECT_EQ(GetCodice("C:name.5"), 5);
  EXPECT_EQ(GetCodice("x.5:name"), -1);
}

TEST(FileNameOf, IsThePartAfterTheLastSlash) {
  EXPECT_EQ(FileNameOf("/a/b.c/Ruota.tcl.12"), "Ruota.tcl.12");
  EXPECT_EQ(FileNameOf("Ruota.tcl.12"), "Ruota.tcl.12");
  EXPECT_EQ(FileNameOf("/a/"), "");
}

// Where the folders lie is checked per system, with its own separators.
TEST(ArchiveFolders, ArePickedByGame) {
  const ArchiveFolders folders = MakeArchiveFolders("Documents");
  EXPECT_EQ(GameFolder(folders, 1), folders.TotocalcioFolder);
  EXPECT_EQ(GameMask(1), "*.tcl.*");
  for (int kind : {0, 2, 3, 255}) {
    EXPECT_EQ(GameFolder(folders, static_cast<std::uint8_t>(kind)), folders.TotogolFolder) << kind;
    EXPECT_EQ(GameMask(static_cast<std::uint8_t>(kind)), "*.gcl.*") << kind;
  }
}

}  // namespace
}  // namespace varo
