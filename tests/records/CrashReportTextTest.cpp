// The crash report's text, made without allocating: numbers, calendar times and stack lines.
#include "records/CrashReportText.h"

#include <gtest/gtest.h>

#include <string>

#include "records/CalendarTime.h"

namespace varo {
namespace {

TEST(CrashReportText, NumbersTimesAndStackLinesReadAsWorkedOutByHand) {
  char buffer[96];
  FixedText text(buffer, sizeof buffer);
  text.AddHex(0x2a).Add(" ").AddHex(0xc0000005, 16).Add(" ").AddHex(0, 4).Add(" ");
  text.AddDecimal(-9223372036854775807LL - 1).Add(" ").AddDecimal(7, 2);
  EXPECT_EQ(text.View(), "2a 00000000c0000005 0000 -9223372036854775808 07");

  // Seconds since 1970 on the local clock, as `date -u -d @S` reads them.
  struct Case {
    std::int64_t Seconds;
    int OffsetMinutes;
    const char* Iso;
    const char* FileName;
  };
  for (const Case& c : {Case{0, 0, "1970-01-01T00:00:00+00:00", "1970-01-01T000000"},
                        Case{-1, -300, "1969-12-31T23:59:59-05:00", "1969-12-31T235959"},
                        Case{951782400, 60, "2000-02-29T00:00:00+01:00", "2000-02-29T000000"},
                        Case{1796723702, 330, "2026-12-08T09:55:02+05:30", "2026-12-08T095502"},
                        Case{4107542399, 0, "2100-02-28T23:59:59+00:00", "2100-02-28T235959"},
                        Case{4107542400, 0, "2100-03-01T00:00:00+00:00", "2100-03-01T000000"}}) {
    text.Clear();
    AddIsoTime(text, CalendarTimeOf(c.Seconds, c.OffsetMinutes));
    EXPECT_EQ(text.View(), c.Iso) << c.Seconds;
    text.Clear();
    AddFileNameTime(text, CalendarTimeOf(c.Seconds));
    EXPECT_EQ(text.View(), c.FileName) << c.Seconds;
  }

  text.Clear();
  AddStackLine(text, 3, 0x7f0011223344, "libc.so.6", 0x29d90);
  EXPECT_EQ(text.View(), "#3 0x00007f0011223344 libc.so.6+0x29d90");
  text.Clear();
  AddStackLine(text, 12, 0xdead, "", 0);
  EXPECT_EQ(text.View(), "#12 0x000000000000dead");

  // A full buffer keeps what fits, and its C string gives up the last character for the end.
  char small[6];
  FixedText full(small, sizeof small);
  full.Add("crash-").AddHex(0xff);
  EXPECT_EQ(full.View(), "crash-");
  EXPECT_EQ(std::string(full.CString()), "crash");
}

}  // namespace
}  // namespace varo
