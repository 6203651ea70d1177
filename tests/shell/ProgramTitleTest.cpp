#include "shell/ProgramTitle.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

TEST(ProgramTitle, TakesTheNameCutAtItsFirstDotWithTheRestLowered) {
  EXPECT_EQ(ProgramTitle("/usr/bin/quillmarch-varo-server"), "quillmarch-varo-server");
  EXPECT_EQ(ProgramTitle("C:/Programs/QuillmarchVaroServer.exe"), "Quillmarchvaroserver");
  EXPECT_EQ(ProgramTitle("/opt/a.b/VARO.Server.bin"), "Varo");
  EXPECT_EQ(ProgramTitle("qVARO"), "qvaro");
  EXPECT_EQ(ProgramTitle("/x/.hidden"), "");
  EXPECT_EQ(ProgramTitle("/x/Caf\xC3\x89"), "Caf\xC3\x89");  // bytes beyond ASCII stay
}

}  // namespace
}  // namespace varo
