// The event log's lines and its two generations, as functions and on a real folder.
#include "records/EventLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "SystemFiles.h"
#include "TempDir.h"

namespace varo {
namespace {

namespace fs = std::filesystem;

// How a new log begins and its lines end: on Windows with a UTF-8 byte-order mark, which older
// editors need to read accents, and CR LF.
#ifdef _WIN32
constexpr const char* Head = "\xEF\xBB\xBF";
constexpr const char* LineEnd = "\r\n";
#else
constexpr const char* Head = "";
constexpr const char* LineEnd = "\n";
#endif

TEST(EventLogLine, StampsLocalTimeWithItsOffsetAndKeepsOneEventOnOneLine) {
  const struct {
    CalendarTime Clock;
    const char* Text;
    const char* Expected;
  } cases[] = {
      {{2026, 12, 8, 10, 15, 2, 60}, "stopped", "2026-12-08T10:15:02+01:00 stopped"},
      {{2027, 1, 1, 0, 0, 0, 0}, "x", "2027-01-01T00:00:00+00:00 x"},
      {{2026, 7, 4, 23, 59, 59, -300}, "x", "2026-07-04T23:59:59-05:00 x"},
      {{2026, 3, 9, 8, 5, 7, -210}, "x", "2026-03-09T08:05:07-03:30 x"},
      {{2026, 3, 9, 8, 5, 7, 345}, "x", "2026-03-09T08:05:07+05:45 x"},
      // A name holding a line break must not forge a line that reads as another event.
      {{2026, 1, 2, 3, 4, 5, 60}, "a/b\n2026 c", "2026-01-02T03:04:05+01:00 a/b?2026 c"},
      {{2026, 1, 2, 3, 4, 5, 60},
       "porta\r\nin uso\t!",
       "2026-01-02T03:04:05+01:00 porta??in uso?!"},
      {{2026, 1, 2, 3, 4, 5, 60},
       "a\xE2\x80\xA8"
       "b",
       "2026-01-02T03:04:05+01:00 a?b"},
      {{2026, 1, 2, 3, 4, 5, 60}, "Citt\xC3\xA0", "2026-01-02T03:04:05+01:00 Citt\xC3\xA0"},
      // Bidirectional controls would reorder the line around a name: U+202E, U+200E, U+200F,
      // U+202A and U+2069, one "?" each; a dash (U+2014) and an emoji stay.
      {{2026, 1, 2, 3, 4, 5, 60},
       "a\xE2\x80\xAE"
       "b\xE2\x80\x8E"
       "c\xE2\x80\x8F"
       "d\xE2\x80\xAA"
       "e\xE2\x81\xA9"
       "f",
       "2026-01-02T03:04:05+01:00 a?b?c?d?e?f"},
      {{2026, 1, 2, 3, 4, 5, 60},
       "\xE2\x80\x94 \xF0\x9F\x98\x80",
       "2026-01-02T03:04:05+01:00 \xE2\x80\x94 \xF0\x9F\x98\x80"},
      // Bytes that are no UTF-8: a stray 0x85, an overlong "/", a surrogate, a cut character.
      {{2026, 1, 2, 3, 4, 5, 60},
       "x\x85y \xC0\xAF \xED\xA0\x80 \xE2\x82",
       "2026-01-02T03:04:05+01:00 x?y ?? ??? ??"},
  };
  for (const auto& [clock, text, expected] : cases) {
    EXPECT_EQ(EventLogLine(clock, text), expected) << text;
  }
}

TEST(EventLogGeneration, PassesOnPastOneMebibyteAndMakesItsFolderWhenFirstNeeded) {
  const struct {
    std::uint64_t Size, Line;
    bool Expected;
  } rules[] = {
      {0, 3 * 1024 * 1024, false},  // a single long line still goes into an empty file
      {1048576 - 10, 10, false},    // exactly 1 MiB after it
      {1048576 - 10, 11, true},     // one byte past it
      {1048576, 1, true},           // full already
      {5, 100, false},
  };
  for (const auto& [size, line, expected] : rules) {
    EXPECT_EQ(StartsNewGeneration(size, line), expected) << size << " + " << line;
  }
  EXPECT_EQ(OlderGenerationOf("/s/eventi.log"), "/s/eventi.1.log");
  EXPECT_EQ(OlderGenerationOf("C:\\s\\eventi.log"), "C:\\s\\eventi.1.log");

  // The folder is made by the first event.
  test::TempDir dir;
  const fs::path folder = dir.Path() / "state" / "Quillmarch Varo Server";
  EventLog log(test::Utf8(folder));
  std::vector<EventLogProblem> problems;
  log.OnProblemChanged([&](EventLogProblem problem) { problems.push_back(problem); });
  log.Write("one");
  const std::regex stamped(std::string(Head) +
                           R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d one)" +
                           std::string(LineEnd));
  EXPECT_TRUE(std::regex_match(test::FileBytes(folder / "eventi.log"), stamped))
      << test::FileBytes(folder / "eventi.log");

  // A full log passes on to eventi.1.log, replacing the older one, and the new line starts anew.
  const std::string full(1048576 - 20, 'x');
  test::WriteBytes(folder / "eventi.1.log", "oldest");
  test::WriteBytes(folder / "eventi.log", full);
  log.Write("two");
  EXPECT_EQ(test::FileBytes(folder / "eventi.1.log"), full);
  EXPECT_TRUE(test::FileBytes(folder / "eventi.log").starts_with(std::string(Head) + "20"));
  EXPECT_TRUE(test::FileBytes(folder / "eventi.log").ends_with(" two" + std::string(LineEnd)));
  EXPECT_LT(test::FileBytes(folder / "eventi.log").size(), 100u);

  // A file where the folder belongs: the user hears of it once, and the next event tries again,
  // telling how many were lost meanwhile.
  fs::remove_all(folder);
  test::WriteBytes(folder, "in the way");
  log.Write("three");
  log.Write("four");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], EventLogProblem::NotWritable);
  fs::remove(folder);
  log.Write("five");
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[1], EventLogProblem::None);
  const std::string after = test::FileBytes(folder / "eventi.log");
  EXPECT_NE(after.find(" 2 earlier events could not be written here" + std::string(LineEnd)),
            std::string::npos)
      << after;
  EXPECT_TRUE(after.ends_with(" five" + std::string(LineEnd))) << after;
}

}  // namespace
}  // namespace varo
