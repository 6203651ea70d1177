// Lines of /proc/self/maps as the crash reporter reads them to name a stack's modules.
#include "platform/posix/ProcessMaps.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

TEST(ProcessMaps, LinesGiveTheirRangeOffsetAndPath) {
  struct Case {
    const char* Line;
    bool Read;
    MappedRange Expected;
  };
  for (const Case& c : {
           Case{"7f3a1c028000-7f3a1c1bd000 r-xp 00028000 fe:01 1055 /usr/lib/x86_64-linux-gnu/"
                "libc.so.6",
                true,
                {0x7f3a1c028000, 0x7f3a1c1bd000, 0x28000, "/usr/lib/x86_64-linux-gnu/libc.so.6"}},
           Case{"55d0c0a00000-55d0c0a21000 r--p 00000000 08:02 42  /opt/a b/server (deleted)",
                true,
                {0x55d0c0a00000, 0x55d0c0a21000, 0, "/opt/a b/server (deleted)"}},
           Case{"7ffd5a3e1000-7ffd5a402000 rw-p 00000000 00:00 0                          [stack]",
                true,
                {0x7ffd5a3e1000, 0x7ffd5a402000, 0, "[stack]"}},
           Case{"7f3a1c000000-7f3a1c021000 rw-p 00000000 00:00 0",
                true,
                {0x7f3a1c000000, 0x7f3a1c021000, 0, ""}},
           Case{"7f3a1c000000 rw-p 00000000 00:00 0", false, {}},
           Case{"7F3A-7F3B r-xp 0 00:00 0 /x", false, {}},
           Case{"", false, {}},
       }) {
    MappedRange range{};
    ASSERT_EQ(ParseMapsLine(c.Line, range), c.Read) << c.Line;
    if (!c.Read) continue;
    EXPECT_EQ(range.Start, c.Expected.Start) << c.Line;
    EXPECT_EQ(range.End, c.Expected.End) << c.Line;
    EXPECT_EQ(range.FileOffset, c.Expected.FileOffset) << c.Line;
    EXPECT_EQ(range.Path, c.Expected.Path) << c.Line;
  }
}

}  // namespace
}  // namespace varo
