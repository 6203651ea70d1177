#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ClientOutput.h"
#include "ClientReplies.h"
#include "ClientRequests.h"

namespace varo::client {
namespace {

using B = std::vector<std::uint8_t>;

const RequestTag Tag{1, 2, 3, 4, 5, 6};

B Cat(std::initializer_list<B> parts) {
  B all;
  for (const B& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

B Name(const std::string& name) {
  B field(name.begin(), name.end());
  field.resize(20, ' ');
  return field;
}

// A reply header as the server sends it back for a request with this tag.
B ReplyHeader(std::uint16_t dataLength, B commandBytes) {
  B h(23, 0);
  h[8] = static_cast<std::uint8_t>(dataLength >> 8);
  h[9] = static_cast<std::uint8_t>(dataLength);
  for (int i = 0; i < 6; ++i) h[13 + i] = Tag[i];
  h[20] = commandBytes[0], h[21] = commandBytes[1], h[22] = commandBytes[2];
  return h;
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n') + 1);
}

B Payload(const B& datagram) {
  return B(datagram.begin() + 23, datagram.end());
}

TEST(ClientRequests, HeadersCarryLengthsTagAndCommandPair) {
  const B list = BuildListRequest(Game::Totocalcio, 1, 300, Tag);
  ASSERT_EQ(list.size(), 28u);
  EXPECT_EQ(B(list.begin(), list.begin() + 23),
            (B{0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x05, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0x01, 0xFE, 1}));
  EXPECT_EQ(Payload(list), (B{0x01, 0x00, 0x01, 0x01, 0x2D}));

  const B del = BuildDeleteRequest(Game::Totogol, 65536, Tag);
  EXPECT_EQ(B(del.begin() + 20, del.begin() + 23), (B{0x01, 0xFE, 0x02}));
  EXPECT_EQ(Payload(del), (B{0x02, 0x00, 0x01, 0x00, 0x01}));

  const B info = BuildInfoRequest(Game::Totogol, 299, Tag);
  EXPECT_EQ(info[9], 4);
  EXPECT_EQ(B(info.begin() + 20, info.begin() + 23), (B{0x02, 0x12, 0x03}));
  EXPECT_EQ(Payload(info), (B{0x00, 0x00, 0x01, 0x2C}));

  const B infoCalcio = BuildInfoRequest(Game::Totocalcio, 0, Tag);
  EXPECT_EQ(B(infoCalcio.begin() + 20, infoCalcio.begin() + 23), (B{0x02, 0x08, 0x01}));

  const B ticket = BuildTicketRequest(Game::Totocalcio, -16777216, 65280, Tag);
  EXPECT_EQ(ticket[9], 6);
  EXPECT_EQ(B(ticket.begin() + 20, ticket.begin() + 23), (B{0x02, 0x08, 0x02}));
  EXPECT_EQ(Payload(ticket), (B{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

  const B ticketGol = BuildTicketRequest(Game::Totogol, 12, 1, Tag);
  EXPECT_EQ(B(ticketGol.begin() + 20, ticketGol.begin() + 23), (B{0x02, 0x12, 0x04}));
  EXPECT_EQ(Payload(ticketGol), (B{0, 0, 0, 12, 0, 1}));
}

TEST(ClientRequests, ValuesTheServerCannotReadAreRefusedWithTheReason) {
  try {
    BuildInfoRequest(Game::Totocalcio, -1, Tag);
    FAIL() << "code -1 was accepted";
  } catch (const RequestRefused& e) {
    EXPECT_NE(std::string(e.what()).find("-1"), std::string::npos);
  }
  try {
    BuildDeleteRequest(Game::Totocalcio, 65281, Tag);
    FAIL() << "code 65281 was accepted";
  } catch (const RequestRefused& e) {
    EXPECT_NE(std::string(e.what()).find("remainder by 65535 is 65281"), std::string::npos);
  }
  EXPECT_THROW(BuildTicketRequest(Game::Totogol, 1, 65281, Tag), RequestRefused);
  EXPECT_THROW(BuildListRequest(Game::Totogol, 1, 70000, Tag), RequestRefused);
  EXPECT_THROW(BuildListRequest(Game::Totogol, 65535, 1, Tag), RequestRefused);
  EXPECT_NO_THROW(BuildInfoRequest(Game::Totogol, 65280, Tag));
}

TEST(ClientReplies, ListEntriesAreNumberedFromTheFirstPosition) {
  const B payload = Cat({{0x00, 0x01, 0x01, 0x03},
                         {0, 0, 0, 0x0C},
                         Name("Ruota.tcl.12"),
                         {0x07, 0xD6, 5, 31},
                         {0x00, 0x00, 0x02, 0xBC},
                         {0, 0, 0xFF, 0xFF},
                         Name("abcdefghijklmnopqrst"),
                         {0x07, 0xEA, 12, 7},
                         {0x00, 0x01, 0x86, 0xA1}});
  const B reply = Cat({ReplyHeader(68, {0x01, 0xFE, 0x01}), payload});
  const ListReply list = ParseListReply(reply, 2);
  EXPECT_EQ(list.Status, 1);
  EXPECT_EQ(list.GameByte, 1);
  EXPECT_EQ(list.FolderCountMod256, 3);
  ASSERT_EQ(list.Entries.size(), 2u);
  EXPECT_EQ(list.Entries[0].Position, 2u);
  EXPECT_EQ(list.Entries[0].Code.Reading->Value, 12);
  EXPECT_EQ(list.Entries[0].Name, "Ruota.tcl.12");
  EXPECT_EQ(list.Entries[0].Year, 2006);
  EXPECT_EQ(list.Entries[0].Month, 5);
  EXPECT_EQ(list.Entries[0].Day, 31);
  EXPECT_EQ(list.Entries[0].TotalCost.Reading->Value, 700);
  EXPECT_EQ(list.Entries[1].Position, 3u);
  EXPECT_EQ(list.Entries[1].Code.Reading->Value, -1);
  EXPECT_EQ(list.Entries[1].Name, "abcdefghijklmnopqrst");
  EXPECT_EQ(list.Entries[1].Year, 2026);
  EXPECT_EQ(list.Entries[1].TotalCost.Reading->Value, 100000);

  const std::string table = ListTable(list, Game::Totocalcio);
  EXPECT_NE(table.find("    2    12  Ruota.tcl.12          2006-05-31           700"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("    3    -1  abcdefghijklmnopqrst  2026-12-07        100000"),
            std::string::npos)
      << table;

  // Code bytes 00 00 00 02 are 2 or -65534, and 00 00 00 0C are 12 or -65524: a whole name
  // settles the code, a cut one does not. Cost C8 00 C8 00 is -939524096, that is 3355443200
  // cents once wrapped; 80 00 00 00 is 2147450880 or -2147450880, that is 2147516416.
  const B twoWays = Cat({ReplyHeader(68, {0x01, 0xFE, 0x01}),
                         {0x00, 0x01, 0x01, 0x02},
                         {0, 0, 0, 0x02},
                         Name("neg.tcl.-65534"),
                         {0x07, 0xD7, 6, 15},
                         {0xC8, 0x00, 0xC8, 0x00},
                         {0, 0, 0, 0x0C},
                         Name("Sistema del sabato.t"),
                         {0x07, 0xD7, 6, 15},
                         {0x80, 0x00, 0x00, 0x00}});
  const ListReply read = ParseListReply(twoWays, 1);
  const std::string shown = ListTable(read, Game::Totocalcio);
  EXPECT_NE(shown.find("    1          -65534  neg.tcl.-65534        2007-06-15                  "
                       "3355443200 (33554432.00 euro)\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("    2  12 (or -65524)  Sistema del sabato.t  2007-06-15  "
                       "2147450880 (or 2147516416) (21474508.80 euro)\n"),
            std::string::npos)
      << shown;
  const std::string json = ListJson(read, Game::Totocalcio);
  EXPECT_NE(json.find("\"code\": -65534, \"name\": \"neg.tcl.-65534\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"total_cost_cents\": 3355443200}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"code\": 12, \"code_or\": -65524,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"total_cost_cents\": 2147450880, \"total_cost_cents_or\": 2147516416}"),
            std::string::npos)
      << json;
}

TEST(ClientReplies, EmptyListAndRepliesNoHandlerWrote) {
  const ListReply empty =
      ParseListReply(Cat({ReplyHeader(4, {1, 0xFE, 1}), {0x03, 0x66, 1, 0}}), 1);
  EXPECT_EQ(empty.Status, 870);
  EXPECT_TRUE(empty.Entries.empty());

  // A server without the handler echoes the request's five payload bytes as zeros.
  EXPECT_THROW(ParseListReply(Cat({ReplyHeader(5, {1, 0xFE, 1}), B(5, 0)}), 1), MalformedReply);
  // Status 0 with a well-sized payload: not an answer of a handler.
  EXPECT_THROW(ParseListReply(Cat({ReplyHeader(4, {1, 0xFE, 1}), B(4, 0)}), 1), MalformedReply);
  EXPECT_THROW(ParseDeleteReply(Cat({ReplyHeader(5, {1, 0xFE, 2}), B(5, 0)})), MalformedReply);
  // Declared length and datagram disagree.
  EXPECT_THROW(ParseDeleteReply(Cat({ReplyHeader(2, {1, 0xFE, 2}), {0, 1, 0}})), MalformedReply);
  EXPECT_THROW(ParseDeleteReply(B(22, 0)), MalformedReply);
  // Status 1 with no entry is not a list reply.
  EXPECT_THROW(ParseListReply(Cat({ReplyHeader(4, {1, 0xFE, 1}), {0, 1, 1, 0}}), 1),
               MalformedReply);
  EXPECT_EQ(ParseDeleteReply(Cat({ReplyHeader(2, {1, 0xFE, 2}), {0x03, 0x66}})), 870);
}

TEST(ClientReplies, SummaryFieldsAndTheRequestedCodeSettlingTwoReadings) {
  const B payload = Cat({{0x00, 0x01},
                         {0x00, 0x00, 0xFD, 0xE8},  // 65000 or -536
                         Name("Big.tcl.65000"),
                         {0x07, 0xD6, 5, 31},
                         {0x00, 0x01},
                         {0, 0, 0, 12},
                         {0, 0, 0, 2},
                         {0, 0, 0, 14},
                         {0, 0, 0x02, 0x58},
                         {0, 0, 0, 0x64},
                         {0, 0, 0x02, 0xBC},
                         {0x01},
                         {0, 0, 0x02, 0xBC}});
  ASSERT_EQ(payload.size(), 61u);
  const B reply = Cat({ReplyHeader(61, {2, 8, 1}), payload});
  const SummaryReply s = ParseSummaryReply(reply, 65000);
  EXPECT_EQ(s.Status, 1);
  EXPECT_EQ(s.Code.Reading->Value, 65000);
  EXPECT_EQ(s.Name, "Big.tcl.65000");
  EXPECT_EQ(s.Year, 2006);
  EXPECT_EQ(s.Tickets, 1);
  EXPECT_EQ(s.MainCombinations.Reading->Value, 12);
  EXPECT_EQ(s.SideCombinations.Reading->Value, 2);
  EXPECT_EQ(s.AllCombinations.Reading->Value, 14);
  EXPECT_EQ(s.MainCost.Reading->Value, 600);
  EXPECT_EQ(s.SideCost.Reading->Value, 100);
  EXPECT_EQ(s.TotalCost.Reading->Value, 700);
  EXPECT_EQ(s.Marker, 1);
  EXPECT_EQ(s.TotalCostAgain.Reading->Value, 700);
  const std::string table = SummaryTable(s, Game::Totocalcio);
  EXPECT_NE(table.find("total cost (cents)    700 (7.00 euro)"), std::string::npos) << table;
  EXPECT_EQ(table.find("(or"), std::string::npos) << table;

  // Without the request to settle it, the code shows both readings, a small one too.
  EXPECT_EQ(FormatNumber(ParseSummaryReply(reply, 1).Code), "-536 (or 65000)");
  B small = reply;
  small[23 + 4] = 0x00, small[23 + 5] = 0x0C;  // 12 or -65524
  EXPECT_EQ(FormatNumber(ParseSummaryReply(small, 1).Code), "12 (or -65524)");
  EXPECT_EQ(FormatNumber(ParseSummaryReply(small, 12).Code), "12");

  // A main cost of C8 00 C8 00 is -939524096 as the server's 32-bit sum: 3355443200 cents.
  B wrapped = reply;
  const B cost = {0xC8, 0x00, 0xC8, 0x00};
  std::copy(cost.begin(), cost.end(), wrapped.begin() + 23 + 44);
  const SummaryReply big = ParseSummaryReply(wrapped, 65000);
  EXPECT_NE(SummaryTable(big, Game::Totogol)
                .find("main cost (cents)     3355443200 (33554432.00 euro)\n"),
            std::string::npos)
      << SummaryTable(big, Game::Totogol);
  EXPECT_NE(SummaryJson(big, Game::Totogol).find("\"main_cost_cents\": 3355443200,"),
            std::string::npos);

  const SummaryReply missing =
      ParseSummaryReply(Cat({ReplyHeader(61, {2, 0x12, 3}), {0x03, 0x66}, B(59, 0)}), 5);
  EXPECT_EQ(missing.Status, 870);
  EXPECT_THROW(ParseSummaryReply(Cat({ReplyHeader(60, {2, 8, 1}), B(60, 0)}), 5), MalformedReply);
}

TEST(ClientReplies, TicketColumnsShowTheirSignsPerMatch) {
  const B payload = Cat({{0x00, 0x01, 0, 0, 0, 12, 0x00, 0x01, 0x01},
                         {0x01, 0x3F, 0xFF, 0x00, 0x01, 0x00, 0x00, 0x20, 0x00}});
  const TicketReply t =
      ParseTicketReply(Cat({ReplyHeader(18, {2, 0x12, 4}), payload}), Game::Totogol, 12);
  EXPECT_EQ(t.Status, 1);
  EXPECT_EQ(t.Code.Reading->Value, 12);
  EXPECT_EQ(t.Ticket, 1);
  ASSERT_EQ(t.Columns.size(), 1u);
  EXPECT_TRUE(t.Columns[0].SideFlag);
  EXPECT_EQ(SignsOfMatch(t.Columns[0], 0), "1X");
  EXPECT_EQ(SignsOfMatch(t.Columns[0], 5), "1");
  EXPECT_EQ(SignsOfMatch(t.Columns[0], 13), "14");

  TicketColumn none;
  none.SignMasks = {0, 0x0002, 0x0002, 0};
  EXPECT_EQ(SignsOfMatch(none, 0), "-");
  EXPECT_EQ(SignsOfMatch(none, 1), "X2");

  // A Totogol-sized column in a Totocalcio reply does not add up.
  EXPECT_THROW(ParseTicketReply(Cat({ReplyHeader(18, {2, 8, 2}), payload}), Game::Totocalcio, 12),
               MalformedReply);
  // More than 64 columns announced.
  EXPECT_THROW(ParseTicketReply(Cat({ReplyHeader(9, {2, 8, 2}), {0, 1, 0, 0, 0, 1, 0, 1, 65}}),
                                Game::Totocalcio, 1),
               MalformedReply);
  const TicketReply none870 = ParseTicketReply(
      Cat({ReplyHeader(9, {2, 8, 2}), {0x03, 0x66, 0, 0, 0, 0, 0, 0, 0}}), Game::Totocalcio, 4);
  EXPECT_EQ(none870.Status, 870);
  EXPECT_TRUE(none870.Columns.empty());
}

TEST(ClientReplies, OnlyTheReplyWithTheRequestsTagAndPairAnswersIt) {
  const B request = BuildInfoRequest(Game::Totocalcio, 5, Tag);
  B reply = Cat({ReplyHeader(61, {2, 8, 1}), {0x03, 0x66}, B(59, 0)});
  EXPECT_TRUE(AnswersRequest(request, reply));
  reply[15] ^= 1;
  EXPECT_FALSE(AnswersRequest(request, reply));
  reply[15] ^= 1;
  reply[22] = 2;
  EXPECT_FALSE(AnswersRequest(request, reply));
  EXPECT_FALSE(AnswersRequest(request, B(10, 0)));
}

TEST(ClientOutput, ListShowsCostsInEuroAsTheSummaryDoes) {
  // Costs of 50, 0 and C8 00 C8 00 (3355443200 once wrapped) cents, and one whose bytes no value
  // writes, which has no euro amount to show.
  const B reply = Cat({ReplyHeader(132, {0x01, 0xFE, 0x01}),
                       {0x00, 0x01, 0x02, 0x04},
                       {0, 0, 0, 7},
                       Name("Alfa.gcl.7"),
                       {0x07, 0xD7, 6, 15},
                       {0, 0, 0, 50},
                       {0, 0, 0, 8},
                       Name("Vuoto.gcl.8"),
                       {0x07, 0xD7, 6, 15},
                       {0, 0, 0, 0},
                       {0, 0, 0, 9},
                       Name("Quaterne.gcl.9"),
                       {0x07, 0xD7, 6, 15},
                       {0xC8, 0x00, 0xC8, 0x00},
                       {0, 0, 0, 10},
                       Name("Rotto.gcl.10"),
                       {0x07, 0xD7, 6, 15},
                       {0x00, 0x01, 0xFF, 0xFF}});
  const ListReply list = ParseListReply(reply, 1);
  EXPECT_EQ(ListTable(list, Game::Totogol),
            "Totogol: 4 systems shown; the server counts 4 systems in the folder (modulo 256)\n"
            "  pos  code  name                  date                 cost (cents)\n"
            "    1     7  Alfa.gcl.7            2007-06-15                     50 (0.50 euro)\n"
            "    2     8  Vuoto.gcl.8           2007-06-15                      0 (0.00 euro)\n"
            "    3     9  Quaterne.gcl.9        2007-06-15             3355443200 "
            "(33554432.00 euro)\n"
            "    4    10  Rotto.gcl.10          2007-06-15  ? (bytes 00 01 FF FF)\n");

  // The summary's total of the same bytes reads the same.
  B summary = Cat({ReplyHeader(61, {2, 0x12, 3}), {0x00, 0x01}, B(59, 0)});
  const B cost = {0xC8, 0x00, 0xC8, 0x00};
  std::copy(cost.begin(), cost.end(), summary.begin() + 23 + 52);
  EXPECT_NE(SummaryTable(ParseSummaryReply(summary, 0), Game::Totogol)
                .find("total cost (cents)    3355443200 (33554432.00 euro)\n"),
            std::string::npos);

  // Scripts read the JSON: its fields stay as they were, with no euro added.
  EXPECT_EQ(ListJson(list, Game::Totogol),
            "{\"game\": \"Totogol\", \"status\": 1, \"folder_count_mod_256\": 4, \"systems\": ["
            "{\"position\": 1, \"code\": 7, \"name\": \"Alfa.gcl.7\", \"date\": \"2007-06-15\", "
            "\"total_cost_cents\": 50}, "
            "{\"position\": 2, \"code\": 8, \"name\": \"Vuoto.gcl.8\", \"date\": \"2007-06-15\", "
            "\"total_cost_cents\": 0}, "
            "{\"position\": 3, \"code\": 9, \"name\": \"Quaterne.gcl.9\", \"date\": "
            "\"2007-06-15\", \"total_cost_cents\": 3355443200}, "
            "{\"position\": 4, \"code\": 10, \"name\": \"Rotto.gcl.10\", \"date\": \"2007-06-15\", "
            "\"total_cost_cents\": null, \"total_cost_cents_bytes\": \"00 01 FF FF\"}]}\n");
}

TEST(ClientOutput, JsonSaysWhetherFoundAndLeavesOutFieldsTheReplyDoesNotFill) {
  const B missingSummary = Cat({ReplyHeader(61, {2, 0x12, 3}), {0x03, 0x66}, B(59, 0)});
  B foundSummary = missingSummary;
  foundSummary[23] = 0, foundSummary[24] = 1, foundSummary[23 + 5] = 9;  // status 1, code 9
  const B ticketHeader = ReplyHeader(9, {2, 8, 2});
  struct Case {
    std::string json;
    std::string expected;  // the whole object with its line end, or only its start
  } cases[] = {
      {SummaryJson(ParseSummaryReply(missingSummary, 9), Game::Totogol),
       "{\"game\": \"Totogol\", \"status\": 870, \"found\": false}\n"},
      {SummaryJson(ParseSummaryReply(foundSummary, 9), Game::Totogol),
       "{\"game\": \"Totogol\", \"status\": 1, \"found\": true, \"code\": 9, \"name\":"},
      // No system: code and ticket number come back 0.
      {TicketJson(ParseTicketReply(Cat({ticketHeader, {0x03, 0x66, 0, 0, 0, 0, 0, 0, 0}}),
                                   Game::Totocalcio, 12),
                  Game::Totocalcio),
       "{\"game\": \"Totocalcio\", \"status\": 870, \"found\": false}\n"},
      // The system without ticket 3 echoes its code and the number.
      {TicketJson(ParseTicketReply(Cat({ticketHeader, {0x03, 0x66, 0, 0, 0, 12, 0, 3, 0}}),
                                   Game::Totocalcio, 12),
                  Game::Totocalcio),
       "{\"game\": \"Totocalcio\", \"status\": 870, \"found\": false, \"code\": 12, "
       "\"ticket\": 3}\n"},
      {TicketJson(ParseTicketReply(Cat({ReplyHeader(16, {2, 8, 2}),
                                        {0, 1, 0, 0, 0, 12, 0, 3, 1},
                                        {0, 0x00, 0x01, 0, 0, 0, 0}}),
                                   Game::Totocalcio, 12),
                  Game::Totocalcio),
       "{\"game\": \"Totocalcio\", \"status\": 1, \"found\": true, \"code\": 12, "
       "\"ticket\": 3, \"columns\": [{\"side\": false, \"signs\": [\"1\","},
  };
  for (const Case& c : cases) {
    if (c.expected.back() == '\n') {
      EXPECT_EQ(c.json, c.expected);
    } else {
      EXPECT_EQ(c.json.substr(0, c.expected.size()), c.expected) << c.json;
    }
  }
}

TEST(ClientOutput, CountsAgreeInNumberWithTheirNouns) {
  const B one = Cat({ReplyHeader(36, {0x01, 0xFE, 0x01}),
                     {0x00, 0x01, 0x02, 0x01},
                     {0, 0, 0, 7},
                     Name("Alfa.gcl.7"),
                     {0x07, 0xD7, 6, 15},
                     {0, 0, 0, 50}});
  EXPECT_EQ(FirstLine(ListTable(ParseListReply(one, 1), Game::Totogol)),
            "Totogol: 1 system shown; the server counts 1 system in the folder (modulo 256)\n");
  B none = one;
  none[23 + 3] = 0;  // 256 systems, or none, in the folder
  EXPECT_EQ(FirstLine(ListTable(ParseListReply(none, 1), Game::Totogol)),
            "Totogol: 1 system shown; the server counts 0 systems in the folder (modulo 256)\n");

  EXPECT_EQ(NoSystemsText(Game::Totocalcio, 5, 5, 1),
            "no Totocalcio system at position 5; the server counts 1 system in the folder "
            "(modulo 256)\n");
  EXPECT_EQ(NoSystemsText(Game::Totogol, 3, 9, 2),
            "no Totogol systems at positions 3 to 9; the server counts 2 systems in the folder "
            "(modulo 256)\n");

  const TicketReply oneColumn = ParseTicketReply(
      Cat({ReplyHeader(16, {2, 8, 2}), {0, 1, 0, 0, 0, 12, 0, 3, 1}, {0, 0x00, 0x01, 0, 0, 0, 0}}),
      Game::Totocalcio, 12);
  EXPECT_EQ(FirstLine(TicketTable(oneColumn, Game::Totocalcio)),
            "Totocalcio system 12, ticket 3: 1 column\n");

  // The reasons given for unreadable replies count the same way.
  auto reason = [](const std::function<void()>& parse) {
    try {
      parse();
    } catch (const MalformedReply& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(reason([] { ParseDeleteReply(B(1, 0)); }),
            "the reply is shorter than a header (1 byte)");
  EXPECT_EQ(reason([] {
              ParseDeleteReply(Cat({ReplyHeader(1, {1, 0xFE, 2}), {0}}));
            }),
            "a delete reply of 1 payload byte");
  EXPECT_EQ(reason([] {
              ParseDeleteReply(Cat({ReplyHeader(1, {1, 0xFE, 2}), {0, 1}}));
            }),
            "the reply declares 1 payload byte but carries 2");
  EXPECT_EQ(reason([&] {
              B notFound = one;
              notFound[23] = 0x03, notFound[24] = 0x66;
              ParseListReply(notFound, 1);
            }),
            "a list reply with status 870 and 1 entry");
  EXPECT_EQ(reason([] {
              ParseTicketReply(Cat({ReplyHeader(9, {2, 8, 2}), {0, 1, 0, 0, 0, 1, 0, 1, 1}}),
                               Game::Totocalcio, 1);
            }),
            "a ticket reply of 9 payload bytes announcing 1 column");
}

}  // namespace
}  // namespace varo::client
