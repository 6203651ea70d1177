#include "archive/SystemSummary.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/WireName.h"

namespace varo {
namespace {

using ::testing::ElementsAreArray;

using test::Copy;

std::vector<std::uint8_t> BytesOf(const SystemSummary& summary) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&summary);
  return std::vector<std::uint8_t>(bytes, bytes + sizeof summary);
}

std::string Repeat(const std::string& column, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += column;
  return out;
}

TEST(SystemSummary, ThreeTotocalcioColumnsFillEveryFieldAndGoOutInWireOrder) {
  test::TempDir temp;
  // Two unflagged columns of two doubles, and one flagged column with one double among the first
  // nine matches and one after them: 4 main combinations each, 2 side combinations.
  const std::string columns =
      test::ColumnOf({0x03, 0x03}) + test::ColumnOf({0x05, 0x09}) +
      test::ColumnOf({0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x81, 0x01, 0x06});
  const auto file = temp.WriteFile("Ruota.tcl.12", columns);
  test::SetModifiedDate(file, 2006, 3, 15);

  SystemSummary summary;
  std::memset(&summary, 0xEE, sizeof summary);  // every byte must be written
  GetInfoTotocalcio(file.string(), summary);

  EXPECT_EQ(Copy(summary.Status), 1);
  EXPECT_EQ(Copy(summary.Code), 12);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(summary.Name), 20), "Ruota.tcl.12        ");
  EXPECT_EQ(Copy(summary.Year), 2006);
  EXPECT_EQ(Copy(summary.Month), 3);
  EXPECT_EQ(Copy(summary.Day), 15);
  EXPECT_EQ(Copy(summary.Tickets), 1);
  EXPECT_EQ(Copy(summary.MainCombinations), 12);
  EXPECT_EQ(Copy(summary.SideCombinations), 2);
  EXPECT_EQ(Copy(summary.AllCombinations), 14);
  EXPECT_EQ(Copy(summary.MainCost), 600);
  EXPECT_EQ(Copy(summary.SideCost), 100);
  EXPECT_EQ(Copy(summary.TotalCost), 700);
  EXPECT_EQ(Copy(summary.Marker), 1);
  EXPECT_EQ(Copy(summary.TotalCostAgain), 700);

  swapinfototocalcio(summary);
  const std::vector<std::uint8_t> wire = {
      0x00, 0x01,                                                  // status
      0x00, 0x00, 0x00, 0x0C,                                      // code 12
      'R',  'u',  'o',  't',  'a',  '.',  't',  'c',  'l',  '.',   // name
      '1',  '2',  0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,  //
      0x07, 0xD6,                                                  // year 2006
      0x03, 0x0F,                                                  // month, day
      0x00, 0x01,                                                  // tickets
      0x00, 0x00, 0x00, 0x0C,                                      // main 12
      0x00, 0x00, 0x00, 0x02,                                      // side 2
      0x00, 0x00, 0x00, 0x0E,                                      // all 14
      0x00, 0x00, 0x02, 0x58,                                      // main cost 600
      0x00, 0x00, 0x00, 0x64,                                      // side cost 100
      0x00, 0x00, 0x02, 0xBC,                                      // total 700
      0x01,                                                        // marker
      0x00, 0x00, 0x02, 0xBC};                                     // total again
  EXPECT_THAT(BytesOf(summary), ElementsAreArray(wire));
}

TEST(SystemSummary, TotogolSumsWrapModulo32BitsAndGoOutSigned) {
  test::TempDir temp;
  // Two flagged columns of fourteen four-sign matches: 2^28 combinations each, main and side.
  // Main 2^29, side 2^29, all 2^30; each cost 2^29 * 50 = 2^30 modulo 2^32; total 2^31, which
  // as a signed field is -2147483648.
  const auto file =
      temp.WriteFile("Big.gcl.x", Repeat(test::ColumnOf({0x8F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,
                                                         0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F}),
                                         2));
  test::SetModifiedDate(file, 2007, 11, 30);
  SystemSummary summary{};
  GetInfoTotogol(file.string(), summary);
  EXPECT_EQ(Copy(summary.Code), -1);
  EXPECT_EQ(Copy(summary.MainCombinations), 536870912);
  EXPECT_EQ(Copy(summary.SideCombinations), 536870912);
  EXPECT_EQ(Copy(summary.AllCombinations), 1073741824);
  EXPECT_EQ(Copy(summary.MainCost), 1073741824);
  EXPECT_EQ(Copy(summary.TotalCost), -2147483647 - 1);

  swapinfototogol(summary);
  const std::vector<std::uint8_t> bytes = BytesOf(summary);
  auto at = [&](std::size_t offset, std::size_t n) {
    return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + n));
  };
  using V = std::vector<std::uint8_t>;
  EXPECT_EQ(at(2, 4), (V{0x00, 0x00, 0xFF, 0xFF}));   // code -1
  EXPECT_EQ(at(26, 4), (V{0x07, 0xD7, 0x0B, 0x1E}));  // 2007, November, 30
  EXPECT_EQ(at(32, 4), (V{0x20, 0x00, 0x20, 0x00}));  // 2^29 = 8192 * 65535 + 8192
  EXPECT_EQ(at(40, 4), (V{0x40, 0x00, 0x40, 0x00}));  // 2^30 = 16384 * 65535 + 16384
  EXPECT_EQ(at(52, 4), (V{0x80, 0x00, 0x80, 0x00}));  // -2^31 = -32768 * 65535 - 32768
  EXPECT_EQ(at(57, 4), (V{0x80, 0x00, 0x80, 0x00}));
}

TEST(SystemSummary, TicketsCountRecordsSixtyFourToATicket) {
  test::TempDir temp;
  const std::string single = test::Column(0x01);
  struct Case {
    int columns;
    std::uint16_t tickets;
  };
  for (const Case c :
       {Case{0, 0}, Case{1, 1}, Case{64, 1}, Case{65, 2}, Case{128, 2}, Case{129, 3}}) {
    const auto file =
        temp.WriteFile("s.tcl." + std::to_string(c.columns), Repeat(single, c.columns));
    SystemSummary summary;
    std::memset(&summary, 0xEE, sizeof summary);
    GetInfoTotocalcio(file.string(), summary);
    EXPECT_EQ(Copy(summary.Status), 1) << c.columns;
    EXPECT_EQ(Copy(summary.Code), c.columns);
    EXPECT_EQ(Copy(summary.Tickets), c.tickets) << c.columns;
    EXPECT_EQ(Copy(summary.MainCombinations), c.columns) << c.columns;
    EXPECT_EQ(Copy(summary.SideCombinations), 0);
    EXPECT_EQ(Copy(summary.TotalCost), 50 * c.columns);
    EXPECT_EQ(Copy(summary.TotalCostAgain), 50 * c.columns);
    EXPECT_EQ(Copy(summary.Marker), 1);
  }
}

TEST(SystemSummary, ShortLastRecordCountsAsAColumnWithZerosForTheMissingBytes) {
  test::TempDir temp;
  // 65537 columns of fourteen doubles fill more than one read block, then three bytes of single
  // signs. Were the missing bytes taken from what was read before, the last column would count
  // doubles too.
  const std::string data = Repeat(test::Column(0x03), 65537) + std::string("\x01\x01\x01", 3);
  const auto file = temp.WriteFile("p.tcl.1", data);
  SystemSummary summary{};
  GetInfoTotocalcio(file.string(), summary);
  EXPECT_EQ(Copy(summary.MainCombinations), 65537 * 16384 + 1);
  EXPECT_EQ(Copy(summary.Tickets), 1025);  // 65538 columns

  // A file shorter than one record: its bytes as one column, the rest 0.
  const auto shortFile = temp.WriteFile("q.gcl.1", std::string("\x8F\x07", 2));
  GetInfoTotogol(shortFile.string(), summary);
  EXPECT_EQ(Copy(summary.Tickets), 1);
  EXPECT_EQ(Copy(summary.MainCombinations), 12);
  EXPECT_EQ(Copy(summary.SideCombinations), 12);
}

TEST(SystemSummary, ALargeSystemCountedInTwoHalvesAddsUpLikeOne) {
  test::TempDir temp;
  // 600000 columns (8.4 MB, counted in two halves): the first flagged with two doubles among the
  // first nine matches (4 main, 4 side), the last whole one flagged with a triple (3 and 3), the
  // others single signs (1 each), then a short record of three doubles (8, not flagged).
  std::vector<std::uint8_t> first(14, 0x01), last(14, 0x01);
  first[0] = first[1] = 0x03;
  first[8] = 0x81;
  last[0] = 0x07;
  last[8] = 0x81;
  const std::string data = test::ColumnOf(first) + Repeat(test::Column(0x01), 599998) +
                           test::ColumnOf(last) + std::string("\x03\x03\x03", 3);
  const auto file = temp.WriteFile("big.tcl.7", data);
  SystemSummary summary{};
  GetInfoTotocalcio(file.string(), summary);
  EXPECT_EQ(Copy(summary.MainCombinations), 4 + 599998 + 3 + 8);
  EXPECT_EQ(Copy(summary.SideCombinations), 4 + 3);
  EXPECT_EQ(Copy(summary.Tickets), 9376);  // 600001 columns
  EXPECT_EQ(Copy(summary.Code), 7);
}

TEST(SystemSummary, FlagByteOfEachGameDecidesTheSideSums) {
  test::TempDir temp;
  // Byte 0 flagged with fourteen triples: a Totogol side column, not a Totocalcio one.
  const std::string column = test::ColumnOf(
      {0x87, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07});
  const auto toto = temp.WriteFile("a.tcl.1", column);
  const auto gol = temp.WriteFile("a.gcl.1", column);
  SystemSummary summary{};
  GetInfoTotocalcio(toto.string(), summary);
  EXPECT_EQ(Copy(summary.MainCombinations), 4782969);
  EXPECT_EQ(Copy(summary.SideCombinations), 0);
  GetInfoTotogol(gol.string(), summary);
  EXPECT_EQ(Copy(summary.MainCombinations), 4782969);
  EXPECT_EQ(Copy(summary.SideCombinations), 4782969);

  // Byte 8 flagged instead: a Totocalcio side column of 3^9, nothing for Totogol.
  std::string moved = column;
  moved[0] = 0x07;
  moved[8] = static_cast<char>(0x87);
  GetInfoTotocalcio(temp.WriteFile("b.tcl.1", moved).string(), summary);
  EXPECT_EQ(Copy(summary.SideCombinations), 19683);
  GetInfoTotogol(temp.WriteFile("b.gcl.1", moved).string(), summary);
  EXPECT_EQ(Copy(summary.MainCombinations), 4782969);
  EXPECT_EQ(Copy(summary.SideCombinations), 0);
}

TEST(WireName, IsTwentyCodePageBytesCutOrPaddedWithBlanks) {
  auto text = [](const std::array<std::uint8_t, 20>& field) {
    return std::string(field.begin(), field.end());
  };
  EXPECT_EQ(text(WireName("Ruota.tcl.12")), "Ruota.tcl.12        ");
  EXPECT_EQ(text(WireName("Abcdefghijklmno.tcl.12345")), "Abcdefghijklmno.tcl.");
  EXPECT_EQ(text(WireName("")), std::string(20, ' '));
  EXPECT_EQ(text(WireName("p\xC3\xB9.tcl.3")), "p\xF9.tcl.3            ");
  // Cut after conversion: twenty characters of two UTF-8 bytes each still fill the field.
  std::string accented;
  for (int i = 0; i < 21; ++i) accented += "\xC3\xA8";
  EXPECT_EQ(text(WireName(accented)), std::string(20, '\xE8'));
  // Not UTF-8: passed on byte for byte.
  EXPECT_EQ(text(WireName("p\xF9.tcl.3")), "p\xF9.tcl.3            ");
}

TEST(SystemSummary, NameFieldIsTheConvertedFileName) {
  test::TempDir temp;
  const auto file = temp.WriteFile("pi\xC3\xB9.tcl.3", "");
  SystemSummary summary{};
  GetInfoTotocalcio(test::Utf8(file), summary);
  const std::vector<std::uint8_t> name(summary.Name, summary.Name + 20);
  EXPECT_THAT(name, ElementsAreArray(std::vector<std::uint8_t>{
                        0x70, 0x69, 0xF9, 0x2E, 0x74, 0x63, 0x6C, 0x2E, 0x33, 0x20,
                        0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}));
  EXPECT_EQ(Copy(summary.Code), 3);
  EXPECT_EQ(Copy(summary.Tickets), 0);
  EXPECT_EQ(Copy(summary.TotalCost), 0);
}

TEST(SystemSummary, DateOf1970IsReported) {
  test::TempDir temp;
  const auto file = temp.WriteFile("old.tcl.1", test::Column(0x01));
  test::SetModifiedDate(file, 1970, 1, 1);
  SystemSummary summary{};
  GetInfoTotocalcio(file.string(), summary);
  EXPECT_EQ(Copy(summary.Year), 1970);
  EXPECT_EQ(Copy(summary.Month), 1);
  EXPECT_EQ(Copy(summary.Day), 1);
  swapinfototocalcio(summary);
  EXPECT_EQ(BytesOf(summary)[26], 0x07);
  EXPECT_EQ(BytesOf(summary)[27], 0xB2);
}

}  // namespace
}  // namespace varo
