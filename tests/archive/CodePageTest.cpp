#include "archive/CodePage.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

TEST(Utf8ToWindows1252, KeepsAsciiAndLatin1AndMapsTheEuroRow) {
  EXPECT_EQ(Utf8ToWindows1252("Ruota.tcl.12"), "Ruota.tcl.12");
  EXPECT_EQ(Utf8ToWindows1252("pi\xC3\xB9.tcl.3"), "pi\xF9.tcl.3");
  EXPECT_EQ(Utf8ToWindows1252("\xC2\xA0\xC3\xBF"), "\xA0\xFF");          // U+00A0, U+00FF
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x82\xAC"), "\x80");                  // euro sign
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x80\x9A"), "\x82");                  // U+201A
  EXPECT_EQ(Utf8ToWindows1252("\xC5\xA0"), "\x8A");                      // U+0160
  EXPECT_EQ(Utf8ToWindows1252("\xC5\xBD"), "\x8E");                      // U+017D
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x80\x98\xE2\x80\x99"), "\x91\x92");  // quotes
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x84\xA2"), "\x99");                  // trade mark
  EXPECT_EQ(Utf8ToWindows1252("\xC5\xB8"), "\x9F");                      // U+0178
}

TEST(Utf8ToWindows1252, GivesAQuestionMarkForCharactersThePageLacks) {
  EXPECT_EQ(Utf8ToWindows1252("\xC2\x80"), "?");           // U+0080: a control, not the euro
  EXPECT_EQ(Utf8ToWindows1252("\xC2\x81\xC2\x9F"), "??");  // U+0081, U+009F
  EXPECT_EQ(Utf8ToWindows1252("\xC4\x80"), "?");           // U+0100
  EXPECT_EQ(Utf8ToWindows1252("a\xE4\xB8\xAD"
                              "b"),
            "a?b");                                       // a CJK character
  EXPECT_EQ(Utf8ToWindows1252("\xF0\x9F\x98\x80"), "?");  // U+1F600
}

TEST(Utf8ToWindows1252, PassesTextThatIsNotUtf8ByteForByte) {
  for (const std::string& text :
       {std::string("pi\xF9.tcl.3"), std::string("\xC0\xAF"), std::string("\xE0\x80\xAF"),
        std::string("\xED\xA0\x80"), std::string("\xF4\x90\x80\x80"), std::string("\xE2\x82"),
        std::string("\x80"), std::string("\xC3\xB9\xFF")}) {
    EXPECT_EQ(Utf8ToWindows1252(text), text);
  }
  EXPECT_EQ(Utf8ToWindows1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace varo
