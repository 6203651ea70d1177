#include "settings/IntegerRule.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

TEST(IntegerRule, AcceptsDecimalWithLeadingBlanksAndSign) {
  EXPECT_EQ(ParseInteger("7771"), 7771);
  EXPECT_EQ(ParseInteger(" 7771"), 7771);
  EXPECT_EQ(ParseInteger("   +7771"), 7771);
  EXPECT_EQ(ParseInteger("-1"), -1);
  EXPECT_EQ(ParseInteger("70000"), 70000);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
}

TEST(IntegerRule, AcceptsEveryHexadecimalPrefix) {
  for (const char* text : {"$1E63", "0x1E63", "x1E63", "X1e63", "0X1e63"}) {
    EXPECT_EQ(ParseInteger(text), 7779) << text;
  }
  EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("$80000000"), INT32_MIN);
  EXPECT_EQ(ParseInteger("-$10"), -16);
  EXPECT_EQ(ParseInteger(" -0x1"), -1);
}

TEST(IntegerRule, RejectsEverythingElse) {
  for (const char* text : {"", " ", "7771 ", "abc", "7771abc", "2147483648", "-2147483649", "$",
                           "0x", "$100000000", "$G", "\t7771", "+", "- 1", "1 2", "7,771"}) {
    EXPECT_FALSE(ParseInteger(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace varo
