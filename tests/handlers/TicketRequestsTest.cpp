#include <string>

#include "InProcessServer.h"

namespace varo::test {
namespace {

using Strings = std::vector<std::string>;
using TicketTest = InProcessServer;

RequestFields TicketTotocalcio(Bytes code, std::uint8_t ticket) {
  code.insert(code.end(), {0, ticket});
  return {.Command = 520, .SubCommand = 2, .Payload = code};
}

RequestFields TicketTotogol(Bytes code, std::uint8_t ticket) {
  code.insert(code.end(), {0, ticket});
  return {.Command = 530, .SubCommand = 4, .Payload = code};
}

// 100 columns: a few with known packings, the rest one sign "1" per match.
std::string HundredTotocalcioColumns() {
  std::string file;
  for (int i = 0; i < 100; ++i) {
    if (i == 0) {
      file += Column(0x01, {{8, 0x81}});
    } else if (i == 1) {
      file += Column(0x01, {{0, 0x81}});
    } else if (i == 2) {
      file += Column(0x0F);
    } else if (i == 3) {
      file += Column(0x00, {{0, 0x02}, {13, 0x04}});
    } else if (i == 64) {
      file += Column(0x00, {{13, 0x01}});
    } else if (i == 99) {
      file += Column(0x00, {{6, 0x04}});
    } else {
      file += Column(0x01);
    }
  }
  return file;
}

TEST_F(TicketTest, TotocalcioTicketsOfAHundredColumnSystem) {
  WriteSystem(1, "Big.tcl.299", HundredTotocalcioColumns());
  // Code bytes 00 00 01 2C read as 299, which goes back out as 00 00 01 2B.
  const Bytes code = {0x00, 0x00, 0x01, 0x2C};

  const auto first = Exchange(TicketTotocalcio(code, 1));
  ASSERT_TRUE(first);
  ASSERT_EQ(DataLengthOf(*first), 457);
  ASSERT_EQ(first->size(), 23u + 457u);
  const Bytes one = PayloadOf(*first);
  EXPECT_EQ(Slice(one, 0, 9), (Bytes{0x00, 0x01, 0x00, 0x00, 0x01, 0x2B, 0x00, 0x01, 64}));
  EXPECT_EQ(Slice(one, 9, 28), (Bytes{0x01, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00,  // flag in byte 8
                                      0x00, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00,  // bit 7 of byte 0
                                      0x00, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF,  // sign "4" unused
                                      0x00, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00}));
  EXPECT_EQ(Slice(one, 9 + 63 * 7, 7), (Bytes{0x00, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00}));

  const auto second = Exchange(TicketTotocalcio(code, 2));
  ASSERT_TRUE(second);
  ASSERT_EQ(DataLengthOf(*second), 261);
  const Bytes two = PayloadOf(*second);
  EXPECT_EQ(Slice(two, 0, 9), (Bytes{0x00, 0x01, 0x00, 0x00, 0x01, 0x2B, 0x00, 0x02, 36}));
  EXPECT_EQ(Slice(two, 9, 7), (Bytes{0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(two, 9 + 35 * 7, 7), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}));

  const auto third = Exchange(TicketTotocalcio(code, 3));
  ASSERT_TRUE(third);
  EXPECT_EQ(PayloadOf(*third), (Bytes{0x03, 0x66, 0x00, 0x00, 0x01, 0x2B, 0x00, 0x03, 0x00}));

  EXPECT_EQ(
      Bodies(),
      (Strings{"Richiesta biglietto N. 1 del sistema Big.tcl.299", "Biglietto N. 1 inviato",
               "Richiesta biglietto N. 2 del sistema Big.tcl.299", "Biglietto N. 2 inviato",
               "Richiesta biglietto N. 3 del sistema Big.tcl.299", "Biglietto N. 3 inviato"}));
}

TEST_F(TicketTest, TotogolTicketsPackFourSignsAndTheFlagOfByteZero) {
  std::string file = Column(0x01, {{0, 0x81}}) + Column(0x01, {{8, 0x81}}) + Column(0x08);
  for (int i = 3; i < 64; ++i) file += Column(0x01);
  WriteSystem(2, "Gol.gcl.12", file);

  const auto first = Exchange(TicketTotogol({0, 0, 0, 12}, 1));
  ASSERT_TRUE(first);
  ASSERT_EQ(DataLengthOf(*first), 585);
  const Bytes one = PayloadOf(*first);
  EXPECT_EQ(Slice(one, 0, 9), (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x01, 64}));
  EXPECT_EQ(Slice(one, 9, 27),
            (Bytes{0x01, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,     // flag in byte 0
                   0x00, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,     // byte 8 means nothing
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0xFF}));  // sign "4"

  const auto second = Exchange(TicketTotogol({0, 0, 0, 12}, 2));
  ASSERT_TRUE(second);
  EXPECT_EQ(PayloadOf(*second), (Bytes{0x03, 0x66, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x02, 0x00}));
}

TEST_F(TicketTest, TicketZeroAndUnknownCodeAnswerNotFoundWithBothLines) {
  WriteSystem(2, "Gol.gcl.12", Column(0x01));
  const auto zero = Exchange(TicketTotogol({0, 0, 0, 12}, 0));
  ASSERT_TRUE(zero);
  EXPECT_EQ(PayloadOf(*zero), (Bytes{0x03, 0x66, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00}));

  const auto unknown = Exchange(TicketTotocalcio({0, 0, 0, 12}, 1));
  ASSERT_TRUE(unknown);
  EXPECT_EQ(DataLengthOf(*unknown), 9);
  EXPECT_EQ(PayloadOf(*unknown), (Bytes{0x03, 0x66, 0, 0, 0, 0, 0, 0, 0}));

  EXPECT_EQ(Bodies(),
            (Strings{"Richiesta biglietto N. 0 del sistema Gol.gcl.12", "Biglietto N. 0 inviato",
                     "Richiesta biglietto N. 1 del sistema ", "Biglietto N. 1 inviato"}));
}

TEST_F(TicketTest, ShortFinalRecordIsAColumnWithItsMissingBytesZero) {
  WriteSystem(1, "Corto.tcl.8", Column(0x07) + std::string(1, '\x01'));
  const auto reply = Exchange(TicketTotocalcio({0, 0, 0, 8}, 1));
  ASSERT_TRUE(reply);
  EXPECT_EQ(PayloadOf(*reply), (Bytes{0x00, 0x01, 0,    0,    0,    8,    0,    1, 2,  //
                                      0x00, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF,        //
                                      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(TicketTest, ReplyHeaderKeepsTheRequestsExtraLength) {
  WriteSystem(1, "Uno.tcl.1", Column(0x01));
  RequestFields request = TicketTotocalcio({0, 0, 0, 1}, 1);
  request.Extra = {9, 9, 9, 9, 9};
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(ExtraLengthOf(*reply), 5);
  EXPECT_EQ(DataLengthOf(*reply), 16);
  EXPECT_EQ(reply->size(), 23u + 16u);
}

}  // namespace
}  // namespace varo::test
