#include "platform/posix/TrashEntry.h"

#include <gtest/gtest.h>

#include <string>

namespace varo {
namespace {

TEST(TrashEntry, TheRecordSaysWhereTheFileWasAndWhenInTheFormFileManagersRead) {
  const struct {
    const char* Path;
    CalendarTime Deleted;
    const char* Record;
  } cases[] = {
      {"/home/anna/Documents/Totocalcio/Ruota.tcl.5",
       {2026, 12, 8, 21, 4, 9},
       "[Trash Info]\nPath=/home/anna/Documents/Totocalcio/Ruota.tcl.5\n"
       "DeletionDate=2026-12-08T21:04:09\n"},
      // Every byte outside the unreserved ones, those of a UTF-8 letter and a stray 0x85 too.
      {"Sistemi vincenti/Più #1%&+?.tcl.5\x85",
       {2027, 1, 2, 3, 45, 56},
       "[Trash Info]\nPath=Sistemi%20vincenti/Pi%C3%B9%20%231%25%26%2B%3F.tcl.5%85\n"
       "DeletionDate=2027-01-02T03:45:56\n"},
      {"a_b-c~d/\n\x7F",
       {999, 10, 31, 0, 0, 0},
       "[Trash Info]\nPath=a_b-c~d/%0A%7F\nDeletionDate=0999-10-31T00:00:00\n"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(TrashInfoText(entry.Path, entry.Deleted), entry.Record) << entry.Path;
  }
}

TEST(TrashEntry, AnEntryNameFitsTheLimitAndKeepsItsStartAndItsSystemEnding) {
  const std::string a239(239, 'a');
  const std::string a249(249, 'a');
  const std::string grave = "\xC3\xA8";  // "è", two bytes
  std::string graves;
  for (int i = 0; i < 130; ++i) graves += grave;
  std::string graves118;
  for (int i = 0; i < 118; ++i) graves118 += grave;
  const struct {
    const char* What;
    std::string Name;
    std::size_t Limit;
    std::string Suffix;
    std::string Entry;
  } cases[] = {
      {"fits", "Ruota.tcl.5", 245, "", "Ruota.tcl.5"},
      {"taken: the suffix before the ending", "Ruota.tcl.5", 245, "0a1b2c3d",
       "Ruota.0a1b2c3d.tcl.5"},
      {"taken, Totogol", "Gol.x.gcl.12", 245, "ffffffff", "Gol.x.ffffffff.gcl.12"},
      {"255 bytes", a249 + ".tcl.5", 245, "", a239 + ".tcl.5"},
      {"255 bytes, taken", a249 + ".tcl.5", 245, "12345678",
       std::string(230, 'a') + ".12345678.tcl.5"},
      // 1 + 130 × 2 bytes of start, 238 allowed: 118 whole letters, never half of one.
      {"cut on a character", "x" + graves + ".gcl.12", 245, "", "x" + graves118 + ".gcl.12"},
      {"no extension", std::string(300, 'b'), 245, "", std::string(245, 'b')},
      {"an ending too long to keep whole", "s." + std::string(40, 'e') + ".7", 20, "",
       "s." + std::string(16, 'e') + ".7"},
  };
  for (const auto& entry : cases) {
    const std::string name = TrashEntryName(entry.Name, entry.Limit, entry.Suffix);
    EXPECT_EQ(name, entry.Entry) << entry.What;
    EXPECT_LE(name.size(), entry.Limit) << entry.What;
  }
}

}  // namespace
}  // namespace varo
