#include "archive/WatchScope.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace varo {
namespace {

TEST(PathBelowRoot, GivesTheFolderRelativeToTheRootOrNothing) {
  const struct {
    const char* Root;
    const char* Folder;
    std::optional<std::string> Below;
  } cases[] = {
      {"C:\\Users\\u\\Documents",
       "C:\\Users\\u\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totogol",
       "Quillmarch\\Quillmarch Varo Server\\Totogol"},
      {"C:\\Users\\u\\Documents\\", "C:/Users/u/Documents//Sistemi/./Totocalcio",
       "Sistemi\\Totocalcio"},
      {"c:\\users\\U\\documents", "C:\\Users\\u\\Documents", ""},
      {"\\\\server\\share\\Documents", "\\\\server\\share\\Documents\\Sistemi", "Sistemi"},
      // Not below: a sibling whose name begins alike, a parent, another drive, another root form.
      {"C:\\Users\\u\\Documents", "C:\\Users\\u\\Documents2\\Sistemi", std::nullopt},
      {"C:\\Users\\u\\Documents", "D:\\Users\\u\\Documents\\Sistemi", std::nullopt},
      {"\\\\server\\share", "\\server\\share\\Sistemi", std::nullopt},
      // Names beyond ASCII are compared as they are spelt; ".." leaves the answer in doubt.
      {"C:\\Users\\\xC3\xA0\\Documents", "C:\\Users\\\xC3\x80\\Documents\\Sistemi", std::nullopt},
      {"C:\\Users\\u\\Documents", "C:\\Users\\u\\Documents\\..\\Sistemi", std::nullopt},
  };
  for (const auto& [root, folder, below] : cases) {
    EXPECT_EQ(PathBelowRoot(root, folder), below) << root << " | " << folder;
  }
}

TEST(ChooseWatch, ThroughTheRootWhereSubtreesAreReportedElseOnTheFolderItself) {
  const std::string root = "C:\\Users\\u\\Documents";
  const auto through = ChooseWatch(root, root + "\\Quillmarch\\Totogol", true);
  ASSERT_TRUE(through && through->ThroughRoot);
  EXPECT_EQ(through->Below, "Quillmarch\\Totogol");
  // Outside the root nothing is watched: a watch of its own would lock its parents.
  EXPECT_FALSE(ChooseWatch(root, "D:\\Sistemi", true));
  const auto own = ChooseWatch(root, "D:\\Sistemi", false);
  EXPECT_TRUE(own && !own->ThroughRoot);
}

TEST(ChangeTouchesFolder, IsTheFolderOneOfItsParentsOrAnythingInsideIt) {
  const std::string totocalcio = "Quillmarch\\Quillmarch Varo Server\\Totocalcio";
  const struct {
    const char* Notified;
    bool Touches;
  } cases[] = {
      {"Quillmarch\\Quillmarch Varo Server\\Totocalcio", true},
      {"Quillmarch\\Quillmarch Varo Server\\Totocalcio\\Ruota.tcl.12", true},
      {"Quillmarch\\Quillmarch Varo Server", true},
      {"Quillmarch", true},
      {"QUILLMARCH\\quillmarch varo server\\TOTOCALCIO\\x.tcl.1", true},
      // A short 8.3 name may stand for any part.
      {"QUILLM~1\\QUILLM~1\\TOTOCA~1\\x.tcl.1", true},
      {"Quillmarch\\Quillmarch Varo Server\\Totogol\\Ruota.gcl.12", false},
      {"Quillmarch\\Quillmarch Varo Server\\note.txt", false},
      {"Quillmarch\\Quillmarch Varo Server\\Totocalcio2", false},
      {"Lettere\\Totocalcio\\x.tcl.1", false},
      {"lettera.txt", false},
      {"\xC3\x80ltro\\x.tcl.1", false},
  };
  for (const auto& [notified, touches] : cases) {
    EXPECT_EQ(ChangeTouchesFolder(notified, totocalcio), touches) << notified;
  }
  // A folder named beyond ASCII: the file system's own case folding cannot be done here, so a
  // name beyond ASCII in its place counts as it; Documents itself is touched by everything.
  EXPECT_TRUE(ChangeTouchesFolder("\xC3\x80ltro\\x.tcl.1", "\xC3\xA0ltro"));
  EXPECT_FALSE(ChangeTouchesFolder("Altro\\x.tcl.1", "\xC3\xA0ltro"));
  EXPECT_TRUE(ChangeTouchesFolder("lettera.txt", ""));
}

}  // namespace
}  // namespace varo
