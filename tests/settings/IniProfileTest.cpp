#include "settings/IniProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "SystemFiles.h"
#include "TempDir.h"

namespace varo {
namespace {

using test::TempDir;

using test::FileBytes;

TEST(IniProfileRead, FindsValuesWithLfAndCrlfLineEnds) {
  TempDir dir;
  const std::string lf =
      dir.WriteFile("lf.ini", "[Other]\nInPort=1\n[Comunicazione]\nOutPort=7100\nInPort=7771\n")
          .string();
  const std::string crlf =
      dir.WriteFile("crlf.ini",
                    "[Other]\r\nInPort=1\r\n[Comunicazione]\r\nOutPort=7100\r\nInPort=7771\r\n")
          .string();
  for (const auto& file : {lf, crlf}) {
    EXPECT_EQ(GetPrivateProfileString("Comunicazione", "InPort", "x", file), "7771");
    EXPECT_EQ(GetPrivateProfileString("Comunicazione", "OutPort", "x", file), "7100");
    EXPECT_EQ(GetPrivateProfileString("Other", "InPort", "x", file), "1");
    EXPECT_EQ(GetPrivateProfileString("Comunicazione", "Missing", "dflt", file), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Nowhere", "InPort", "dflt", file), "dflt");
  }
}

TEST(IniProfileRead, NamesIgnoreCaseAndBlanksQuotesAndCommentsAreHandled) {
  TempDir dir;
  const std::string file = dir.WriteFile("s.ini",
                                         "; InPort=1\n"
                                         "  [ comunicazione ]  \n"
                                         ";InPort=2\n"
                                         "just some text\n"
                                         "\t inport \t=\t 7772 \t\n"
                                         "OUTPORT=\"7101\"\n"
                                         "Name=' spaced '\n"
                                         "Odd=\"half\n"
                                         "[COMUNICAZIONE]\n"
                                         "InPort=9\n"
                                         "Later=5\n")
                               .string();
  EXPECT_EQ(GetPrivateProfileString("COMUNICAZIONE", "InPort", "", file), "7772");
  // A repeated section is not read: only the first one with the name counts.
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "Later", "dflt", file), "dflt");
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "outport", "", file), "7101");
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "Name", "", file), " spaced ");
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "Odd", "", file), "\"half");
}

TEST(IniProfileRead, MissingOrUnreadableFileGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileString("S", "K", "dflt", (dir.Path() / "none.ini").string()), "dflt");
  // A folder in place of the file cannot be read as one.
  std::filesystem::create_directory(dir.Path() / "folder.ini");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "dflt", (dir.Path() / "folder.ini").string()),
            "dflt");
}

TEST(IniProfileInteger, FollowsTheIntegerRuleWithItsDefaults) {
  TempDir dir;
  const std::string file = dir.WriteFile("s.ini",
                                         "[Comunicazione]\n"
                                         "Hex=0x1E62\n"
                                         "HexUpper=0X1e62\n"
                                         "Dollar=$1E62\n"
                                         "Trailing=7771abc\n"
                                         "Empty=\n"
                                         "Blank= 7773\n"
                                         "Negative=-1\n"
                                         "Big=70000\n"
                                         "Prefix=0x\n"
                                         "Overflow=2147483648\n")
                               .string();
  const auto read = [&](const char* key) {
    return ReadProfileInteger("Comunicazione", key, 7770, file);
  };
  EXPECT_EQ(read("Hex"), 7778);
  EXPECT_EQ(read("HexUpper"), 7778);
  EXPECT_EQ(read("Dollar"), 7778);
  EXPECT_EQ(read("Trailing"), 7770);
  EXPECT_EQ(read("Empty"), 7770);
  EXPECT_EQ(read("Blank"), 7773);  // blanks around a value are not part of it
  EXPECT_EQ(read("Negative"), -1);
  EXPECT_EQ(read("Big"), 70000);
  EXPECT_EQ(read("Prefix"), 7770);
  EXPECT_EQ(read("Overflow"), 7770);
  EXPECT_EQ(read("Missing"), 7770);
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "OutPort", 7000, (dir.Path() / "no.ini").string()),
            7000);
}

TEST(IniProfileWrite, ReplacesAValueInPlaceKeepingEveryOtherByte) {
  TempDir dir;
  const std::string file =
      dir.WriteFile("s.ini",
                    "; settings\r\n[Comunicazione]\r\n  inport = 7770 ; old\r\n"
                    "OutPort=7000\r\n\r\n[Altro]\r\nX=1")
          .string();
  WritePrivateProfileString("Comunicazione", "InPort", "7771", file);
  EXPECT_EQ(
      FileBytes(file),
      "; settings\r\n[Comunicazione]\r\n  inport =7771\r\nOutPort=7000\r\n\r\n[Altro]\r\nX=1");
}

TEST(IniProfileWrite, AddsAKeyAtTheEndOfItsSectionWithTheFilesLineEnd) {
  TempDir dir;
  const std::string crlf =
      dir.WriteFile("crlf.ini", "[Comunicazione]\r\nInPort=7770\r\n\r\n[Altro]\r\nX=1\r\n")
          .string();
  WritePrivateProfileString("Comunicazione", "OutPort", "7100", crlf);
  EXPECT_EQ(FileBytes(crlf),
            "[Comunicazione]\r\nInPort=7770\r\nOutPort=7100\r\n\r\n[Altro]\r\nX=1\r\n");

  // A last line without its line end gets one before the new key.
  const std::string unterminated =
      dir.WriteFile("u.ini", "[Altro]\nX=1\n[Comunicazione]\nInPort=7770").string();
  WritePrivateProfileString("Comunicazione", "OutPort", "7100", unterminated);
  EXPECT_EQ(FileBytes(unterminated), "[Altro]\nX=1\n[Comunicazione]\nInPort=7770\nOutPort=7100\n");

  // A last line cut after its carriage return is completed, never glued to the new key.
  const std::string cutCrlf = dir.WriteFile("c.ini", "[Comunicazione]\r\nOutPort=7000\r").string();
  WritePrivateProfileString("Comunicazione", "InPort", "7771", cutCrlf);
  EXPECT_EQ(FileBytes(cutCrlf), "[Comunicazione]\r\nOutPort=7000\r\nInPort=7771\r\n");
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "OutPort", "", cutCrlf), "7000");
  // Only the first section of the name is written, even when a later one holds the key.
  const std::string repeated =
      dir.WriteFile("r.ini",
                    "[Comunicazione]\nOutPort=7000\n[Altro]\nx=1\n[Comunicazione]\nInPort=5555\n")
          .string();
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "InPort", 7770, repeated), 7770);
  WritePrivateProfileString("Comunicazione", "InPort", "7771", repeated);
  EXPECT_EQ(FileBytes(repeated),
            "[Comunicazione]\nOutPort=7000\nInPort=7771\n[Altro]\nx=1\n[Comunicazione]\n"
            "InPort=5555\n");
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "InPort", 7770, repeated), 7771);

  const std::string cutOther = dir.WriteFile("o.ini", "[Altro]\r\nX=1\r").string();
  WritePrivateProfileString("Comunicazione", "InPort", "7771", cutOther);
  EXPECT_EQ(FileBytes(cutOther), "[Altro]\r\nX=1\r\n[Comunicazione]\r\nInPort=7771\r\n");
}

TEST(IniProfileWrite, AddsASectionAtTheEndOrCreatesTheFile) {
  TempDir dir;
  const std::string file = dir.WriteFile("s.ini", "[Altro]\r\nX=1").string();
  WritePrivateProfileString("Comunicazione", "InPort", "7771", file);
  EXPECT_EQ(FileBytes(file), "[Altro]\r\nX=1\r\n[Comunicazione]\r\nInPort=7771\r\n");

  const std::string fresh = (dir.Path() / "fresh.ini").string();
  WritePrivateProfileString("Comunicazione", "OutPort", "-1", fresh);
  WritePrivateProfileString("Comunicazione", "InPort", "7771", fresh);
  // The bytes, with the system's line end, are checked per system.
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "OutPort", "", fresh), "-1");
  EXPECT_EQ(GetPrivateProfileString("Comunicazione", "InPort", "", fresh), "7771");
  // Nothing but the file itself is left in the folder.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 2);
}

TEST(IniProfileWrite, RejectsTextsThatWouldBreakTheFile) {
  TempDir dir;
  const std::string file = dir.WriteFile("s.ini", "[S]\nK=1\n").string();
  EXPECT_THROW(WritePrivateProfileString("S", "K", "1\n[Evil]", file), std::invalid_argument);
  EXPECT_THROW(WritePrivateProfileString("S", "K=", "1", file), std::invalid_argument);
  EXPECT_THROW(WritePrivateProfileString("S]", "K", "1", file), std::invalid_argument);
  // Names the reader would not find again.
  EXPECT_THROW(WritePrivateProfileString("S", " K", "1", file), std::invalid_argument);
  EXPECT_THROW(WritePrivateProfileString("S\t", "K", "1", file), std::invalid_argument);
  EXPECT_THROW(WritePrivateProfileString("S", ";K", "1", file), std::invalid_argument);
  EXPECT_THROW(WritePrivateProfileString("S", "[K]", "1", file), std::invalid_argument);
  EXPECT_EQ(FileBytes(file), "[S]\nK=1\n");
}

TEST(IniProfileWrite, AFolderThatIsAFileFailsTheWrite) {
  TempDir dir;
  const auto notAFolder = dir.WriteFile("plain", "x");
  EXPECT_ANY_THROW(WritePrivateProfileString("Comunicazione", "InPort", "7771",
                                             (notAFolder / "s.ini").string()));
  EXPECT_EQ(FileBytes(notAFolder), "x");
}

}  // namespace
}  // namespace varo
