// Names and log stamps only a POSIX system has: bytes below 0x20 in a file name, and the "C"
// locale's time format.
#include <regex>
#include <string>
#include <vector>

#include "InProcessServer.h"

namespace varo::test {
namespace {

using Strings = std::vector<std::string>;
using PosixLogTest = InProcessServer;

TEST_F(PosixLogTest, ControlBytesInNamesShowAsQuestionMarks) {
  WriteSystem(1,
              "a\nb\x01"
              "c.tcl.5",
              "");
  const auto reply = Exchange({.Command = 520, .SubCommand = 1, .Payload = {0, 0, 0, 5}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(Bodies(), (Strings{"Richiesta informazioni a?b?c.tcl.5", "Informazioni inviate"}));
  const auto deleted = Exchange({.Command = 510, .SubCommand = 2, .Payload = {1, 0, 0, 0, 5}});
  ASSERT_TRUE(deleted);
  ASSERT_EQ(log.Lines.size(), 4u);
  EXPECT_EQ(Bodies()[2], "Richiesta cancellazione " + folders.TotocalcioFolder + "/a?b?c.tcl.5");
}

TEST_F(PosixLogTest, TimeStampIsTheLongTimeOfTheCurrentLocale) {
  // The tests run in the "C" locale, whose long time format is HH:MM:SS.
  Exchange({.Command = 510, .SubCommand = 1, .Payload = {1, 0, 1, 0, 1}});
  ASSERT_FALSE(log.Lines.empty());
  static const std::regex shape(R"(.* \[\d\d:\d\d:\d\d\]$)");
  for (const std::string& line : log.Lines) EXPECT_TRUE(std::regex_match(line, shape)) << line;
}

}  // namespace
}  // namespace varo::test
