#include <memory>
#include <string>

#include "InProcessServer.h"
#include "archive/SummaryCache.h"
#include "archive/SystemSummary.h"

namespace varo::test {
namespace {

using Strings = std::vector<std::string>;
using InformationTest = InProcessServer;

RequestFields InfoTotocalcio(Bytes code) {
  return {.Command = 520, .SubCommand = 1, .Payload = code};
}
RequestFields InfoTotogol(Bytes code) {
  return {.Command = 530, .SubCommand = 3, .Payload = code};
}

TEST_F(InformationTest, TotocalcioSummaryGoesOutInWireForm) {
  // Three columns of 4 combinations each, the first flagged with 2 side combinations.
  const std::string path =
      WriteSystem(1, "Ruota.tcl.12",
                  Column(0x01, {{0, 0x03}, {13, 0x03}, {8, 0x81}}) +
                      Column(0x01, {{0, 0x03}, {1, 0x03}}) + Column(0x01, {{0, 0x03}, {1, 0x03}}));
  SetModifiedDate(path, 2006, 3, 15);
  RequestFields request = InfoTotocalcio({0, 0, 0, 12});
  request.Extra = {0x77};
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(DataLengthOf(*reply), 61);
  EXPECT_EQ(ExtraLengthOf(*reply), 0);
  EXPECT_EQ(PayloadOf(*reply), Concat({{0x00, 0x01},              // status
                                       {0x00, 0x00, 0x00, 0x0C},  // code 12
                                       NameField("Ruota.tcl.12"),
                                       {0x07, 0xD6, 0x03, 0x0F},  // 2006-03-15
                                       {0x00, 0x01},              // tickets
                                       {0x00, 0x00, 0x00, 0x0C},  // main combinations 12
                                       {0x00, 0x00, 0x00, 0x02},  // side combinations 2
                                       {0x00, 0x00, 0x00, 0x0E},  // all 14
                                       {0x00, 0x00, 0x02, 0x58},  // main cost 600
                                       {0x00, 0x00, 0x00, 0x64},  // side cost 100
                                       {0x00, 0x00, 0x02, 0xBC},  // total cost 700
                                       {0x01},                    // marker
                                       {0x00, 0x00, 0x02, 0xBC}}));
  EXPECT_EQ(Bodies(), (Strings{"Richiesta informazioni Ruota.tcl.12", "Informazioni inviate"}));
}

TEST_F(InformationTest, TotogolSummaryCountsFlaggedColumnsOnTheSide) {
  const std::string path = WriteSystem(2, "Gol.gcl.7", Column(0x01, {{0, 0x83}}));
  SetModifiedDate(path, 2007, 12, 31);
  const auto reply = Exchange(InfoTotogol({0, 0, 0, 7}));
  ASSERT_TRUE(reply);
  EXPECT_EQ(PayloadOf(*reply), Concat({{0x00, 0x01},
                                       {0x00, 0x00, 0x00, 0x07},
                                       NameField("Gol.gcl.7"),
                                       {0x07, 0xD7, 0x0C, 0x1F},
                                       {0x00, 0x01},
                                       {0x00, 0x00, 0x00, 0x02},
                                       {0x00, 0x00, 0x00, 0x02},
                                       {0x00, 0x00, 0x00, 0x04},
                                       {0x00, 0x00, 0x00, 0x64},
                                       {0x00, 0x00, 0x00, 0x64},
                                       {0x00, 0x00, 0x00, 0xC8},
                                       {0x01},
                                       {0x00, 0x00, 0x00, 0xC8}}));
  EXPECT_EQ(Bodies(), (Strings{"Richiesta informazioni Gol.gcl.7", "Informazioni inviate"}));
}

TEST_F(InformationTest, UnknownCodeAndCodeOfTheOtherGameAreNotFound) {
  WriteSystem(2, "Altro.gcl.5", Column(0x01));
  Bytes notFound(61, 0);
  notFound[0] = 0x03;
  notFound[1] = 0x66;
  for (const RequestFields& request :
       {InfoTotocalcio({0, 0, 0, 9}), InfoTotogol({0, 0, 0, 9}), InfoTotocalcio({0, 0, 0, 5})}) {
    RequestFields withExtra = request;
    withExtra.Extra = {1, 2};
    const auto reply = Exchange(withExtra);
    ASSERT_TRUE(reply);
    EXPECT_EQ(DataLengthOf(*reply), 61);
    EXPECT_EQ(ExtraLengthOf(*reply), 0);
    EXPECT_EQ(PayloadOf(*reply), notFound);
  }
  EXPECT_EQ(Bodies(), Strings(3, "Richiesta informazioni "));

  const auto own = Exchange(InfoTotogol({0, 0, 0, 5}));
  ASSERT_TRUE(own);
  EXPECT_EQ(Slice(PayloadOf(*own), 0, 6), (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x05}));
}

TEST_F(InformationTest, EmptySystemFileHasAZeroSummary) {
  WriteSystem(1, "Vuoto.tcl.4", "");
  const auto reply = Exchange(InfoTotocalcio({0, 0, 0, 4}));
  ASSERT_TRUE(reply);
  const Bytes payload = PayloadOf(*reply);
  ASSERT_EQ(payload.size(), 61u);
  EXPECT_EQ(Slice(payload, 0, 26),
            Concat({{0x00, 0x01, 0x00, 0x00, 0x00, 0x04}, NameField("Vuoto.tcl.4")}));
  EXPECT_EQ(Slice(payload, 30, 31), Concat({Bytes(26, 0), {0x01}, Bytes(4, 0)}));
}

TEST_F(InformationTest, RequestedCodeMatchesAsA32BitPattern) {
  // FF FF FF FF reads as 4278190080, the bit pattern of -16777216 (= -256 * 65535 - 256).
  WriteSystem(1, "Neg.tcl.-16777216", "");
  const auto reply = Exchange(InfoTotocalcio({0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(reply);
  EXPECT_EQ(Slice(PayloadOf(*reply), 0, 6), (Bytes{0x00, 0x01, 0xFF, 0x00, 0xFF, 0x00}));
}

TEST_F(InformationTest, ListAndInformationShareTheKeptSummariesAndAnswerAsWithout) {
  int reads = 0;
  auto kept = std::make_shared<SystemArchive>(
      folders, SummaryCacheSeams{.FileClock =
                                     [] {
                                       FileTime now = FileClockNow();
                                       now.Seconds += 3600;  // every system is settled
                                       return now;
                                     },
                                 .Read =
                                     [&reads](ReadOnlyFile& file, std::uint8_t gameKind) {
                                       ++reads;
                                       return ReadColumnTotals(file, gameKind);
                                     }});
  handlers = MakeHandlerTable(kept, log);
  // Three columns of 4 combinations each, the first flagged with 2: total cost 700.
  const std::string path =
      WriteSystem(1, "Ruota.tcl.12",
                  Column(0x01, {{0, 0x03}, {13, 0x03}, {8, 0x81}}) +
                      Column(0x01, {{0, 0x03}, {1, 0x03}}) + Column(0x01, {{0, 0x03}, {1, 0x03}}));
  SetModifiedDate(path, 2006, 3, 15);
  WriteSystem(1, "Altro.tcl.5", Column(0x01));

  // The information reads Ruota, the list then reads only Altro, and nothing is read again.
  std::optional<Bytes> information[2], list[2];
  std::vector<int> readsSoFar;
  for (int round = 0; round < 2; ++round) {
    information[round] = Exchange(InfoTotocalcio({0, 0, 0, 12}));
    readsSoFar.push_back(reads);
    list[round] = Exchange({.Command = 510, .SubCommand = 1, .Payload = {1, 0, 1, 0, 9}});
    readsSoFar.push_back(reads);
    ASSERT_TRUE(list[round] && information[round]) << round;
  }
  EXPECT_EQ(readsSoFar, (std::vector<int>{1, 2, 2, 2}));
  EXPECT_EQ(*information[1], *information[0]);
  EXPECT_EQ(*list[1], *list[0]);
  // Ruota's date and total cost in the information, then in its list entry, the second.
  EXPECT_EQ(Slice(PayloadOf(*information[1]), 26, 4), (Bytes{0x07, 0xD6, 0x03, 0x0F}));
  EXPECT_EQ(Slice(PayloadOf(*information[1]), 52, 4), (Bytes{0x00, 0x00, 0x02, 0xBC}));
  EXPECT_EQ(Slice(PayloadOf(*list[1]), 4 + 32 + 24, 8),
            (Bytes{0x07, 0xD6, 0x03, 0x0F, 0x00, 0x00, 0x02, 0xBC}));
  const Strings once = {"Richiesta informazioni Ruota.tcl.12", "Informazioni inviate",
                        "Richiesta lista Totocalcio", "Elenco inviato (2)"};
  Strings twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(Bodies(), twice);
}

}  // namespace
}  // namespace varo::test
