#include <gtest/gtest.h>

#include "platform/Paths.h"

namespace varo {
namespace {

// On Linux "\" is an ordinary character: a name holding one keeps it on the wire and in the log.
TEST(PosixPaths, JoinWithSlashAndSplitAtTheLastSlashOnly) {
  EXPECT_EQ(JoinPath("/home/u/Totogol", "a.gcl.3"), "/home/u/Totogol/a.gcl.3");
  EXPECT_EQ(FileNameOf("/home/u/Totogol/back\\slash.gcl.3"), "back\\slash.gcl.3");
  EXPECT_EQ(FileNameOf("C:\\dir\\a.tcl.1"), "C:\\dir\\a.tcl.1");
  EXPECT_EQ(FileNameOf("/a/"), "");
}

}  // namespace
}  // namespace varo
