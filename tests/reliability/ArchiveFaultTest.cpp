// Faults of the archive while the endpoint serves: a game folder that goes away and comes back,
// system files of no bytes, of a partial column and of a hundred megabytes, and ten thousand
// systems paged through the list request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "InProcessServer.h"

namespace varo::test {
namespace {

const Bytes Date = {0x07, 0xD7, 0x03, 0x0F};  // 2007-03-15

// The bytes a client writes for a position read with the base-255 word reader (at most 65280).
Bytes Position(unsigned value) {
  return {static_cast<std::uint8_t>(value / 255), static_cast<std::uint8_t>(value % 255)};
}

Bytes ListRequest(std::uint8_t game, unsigned first, unsigned last) {
  return Request(510, 1, Concat({{game}, Position(first), Position(last)}));
}

using ArchiveFaults = InProcessServer;

TEST_F(ArchiveFaults, AGameFolderThatVanishesIsNotServedUntilItComesBack) {
  WriteBytes(calcio / "x.tcl.5", Columns(3, 0x01));
  const Bytes list = ListRequest(1, 1, 10);
  const Bytes info = Request(520, 1, {0, 0, 0, 5});
  const Bytes ticket = Request(520, 2, {0, 0, 0, 5, 0, 1});
  const Bytes remove = Request(510, 2, {1, 0, 0, 0, 5});
  ASSERT_TRUE(Exchange(list).has_value());
  const std::size_t linesBefore = log.Lines.size();

  const std::filesystem::path away = calcio.string() + ".away";
  std::filesystem::rename(calcio, away);
  for (const Bytes& request : {list, info, ticket, remove}) {
    EXPECT_TRUE(Unanswered(request)) << "command byte " << int(request[21]);
  }
  EXPECT_EQ(log.Lines.size(), linesBefore) << log.Lines.back();
  // The other game is untouched: its empty folder answers 870.
  const auto other = Exchange(ListRequest(2, 1, 10));
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(PayloadOf(*other), (Bytes{0x03, 0x66, 0x02, 0x00}));

  std::filesystem::rename(away, calcio);
  const auto listed = Exchange(list);
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(PayloadOf(*listed)[0], 0x00);
  EXPECT_EQ(PayloadOf(*listed)[1], 0x01);
  EXPECT_EQ(PayloadOf(*listed)[3], 1);
  const auto summary = Exchange(info);
  ASSERT_TRUE(summary.has_value());
  EXPECT_EQ(PayloadOf(*summary)[1], 0x01);
  EXPECT_TRUE(std::filesystem::exists(calcio / "x.tcl.5"));  // the delete never ran
}

TEST_F(ArchiveFaults, AnEmptySystemIsSummarisedWithZerosAndHasNoTicket) {
  const auto path = calcio / "empty.tcl.1";
  WriteBytes(path, "");
  SetModifiedDate(path, 2007, 3, 15);
  const Bytes zero = {0, 0, 0, 0};
  const auto info = Exchange(Request(520, 1, {0, 0, 0, 1}));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(PayloadOf(*info),
            SummaryWithoutSide({0, 0, 0, 1}, "empty.tcl.1", Date, {0x00, 0x00}, zero, zero));
  const auto ticket = Exchange(Request(520, 2, {0, 0, 0, 1, 0, 1}));
  ASSERT_TRUE(ticket.has_value());
  EXPECT_EQ(PayloadOf(*ticket), (Bytes{0x03, 0x66, 0, 0, 0, 1, 0, 1, 0}));
}

TEST_F(ArchiveFaults, APartialColumnCountsAsOneWithItsMissingByteZero) {
  // Thirteen two-sign bytes (0x03): if the missing fourteenth byte were anything with two or three
  // signs the count would not be 2^13.
  const auto path = calcio / "part.tcl.2";
  WriteBytes(path, std::string(13, '\x03'));
  SetModifiedDate(path, 2007, 3, 15);
  const Bytes zero = {0, 0, 0, 0};
  const Bytes combinations = {0x00, 0x00, 0x20, 0x00};  // 8192
  const Bytes cost = {0x00, 0x06, 0x40, 0x06};          // 409600 = 6 * 65535 + 16390
  const auto info = Exchange(Request(520, 1, {0, 0, 0, 2}));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(PayloadOf(*info),
            SummaryWithoutSide({0, 0, 0, 2}, "part.tcl.2", Date, {0x00, 0x01}, combinations, cost));
  // Signs 1 and X in matches 1 to 13, nothing in match 14; no side flag.
  const auto ticket = Exchange(Request(520, 2, {0, 0, 0, 2, 0, 1}));
  ASSERT_TRUE(ticket.has_value());
  EXPECT_EQ(PayloadOf(*ticket),
            (Bytes{0x00, 0x01, 0, 0, 0, 2, 0, 1, 1, 0x00, 0x1F, 0xFF, 0x1F, 0xFF, 0x00, 0x00}));
}

TEST_F(ArchiveFaults, AHundredMegabyteSystemIsSummarisedRight) {
  // 7,500,000 single-sign columns, 105,000,000 bytes.
  constexpr std::size_t ColumnCount = 7500000;
  const auto path = calcio / "big.tcl.9";
  {
    std::ofstream out(path, std::ios::binary);
    const std::string block = Columns(75000, 0x01);
    for (std::size_t i = 0; i < ColumnCount / 75000; ++i) out.write(block.data(), block.size());
    ASSERT_TRUE(out.good());
  }
  SetModifiedDate(path, 2007, 3, 15);
  ASSERT_EQ(std::filesystem::file_size(path), 105000000u);

  const auto started = std::chrono::steady_clock::now();
  const auto info = Exchange(Request(520, 1, {0, 0, 0, 9}), 120.0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::ostringstream figure;
  figure << "summary of 105,000,000 bytes answered in " << seconds << " s";
  RecordProperty("figures", figure.str());
  std::printf("%s\n", figure.str().c_str());
  ASSERT_TRUE(info.has_value());

  const Bytes zero = {0, 0, 0, 0};
  const Bytes combinations = {0x00, 0x72, 0x71, 0x52};  // 7,500,000 = 114 * 65535 + 29010
  const Bytes cost = {0x16, 0x5A, 0x22, 0x1A};          // 375,000,000 = 5722 * 65535 + 8730
  // 117,188 tickets do not fit the 16-bit field: its low 16 bits, 51652, go out.
  const Bytes tickets = {0xC9, 0xC4};
  EXPECT_EQ(PayloadOf(*info),
            SummaryWithoutSide({0, 0, 0, 9}, "big.tcl.9", Date, tickets, combinations, cost));

  // The last ticket a request can name, 65280 (FF FF read in base 255), is a full one.
  const auto ticket = Exchange(Request(520, 2, {0, 0, 0, 9, 0xFF, 0xFF}), 120.0);
  ASSERT_TRUE(ticket.has_value());
  EXPECT_EQ(ticket->size(), 23u + 457u);
  EXPECT_EQ(PayloadOf(*ticket)[8], 64);
}

TEST_F(ArchiveFaults, TenThousandSystemsArePagedSixtyTwoAtATime) {
  constexpr unsigned Count = 10000;
  const auto name = [](unsigned i) {
    char text[32];
    std::snprintf(text, sizeof text, "s%05u.tcl.%u", i, i);
    return std::string(text);
  };
  for (unsigned i = 1; i <= Count; ++i) {
    const auto path = calcio / name(i);
    WriteBytes(path, Columns(1, 0x01));
    SetModifiedDate(path, 2007, 3, 15);
  }
  const auto created = std::chrono::steady_clock::now();
  unsigned pages = 0;
  for (unsigned first = 1; first <= Count; first += 62, ++pages) {
    const unsigned last = first + 61;
    const auto reply = Exchange(ListRequest(1, first, last), 10.0);
    ASSERT_TRUE(reply.has_value()) << "page at " << first;
    const unsigned entries = std::min(last, Count) - first + 1;
    // One single-sign column: code i (below 65535 its long form is 00 00 and the word), cost 50.
    Bytes expected = {0x00, 0x01, 0x01, 16};  // 10000 mod 256 = 16
    for (unsigned i = first; i < first + entries; ++i) {
      expected =
          Concat({expected,
                  {0x00, 0x00, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
                  NameField(name(i)),
                  Date,
                  {0x00, 0x00, 0x00, 0x32}});
    }
    ASSERT_EQ(PayloadOf(*reply), expected) << "page at " << first;
    const unsigned dataLength = 4 + 32 * entries;
    EXPECT_EQ((*reply)[8], dataLength >> 8);
    EXPECT_EQ((*reply)[9], dataLength & 0xFF);
  }
  EXPECT_EQ(pages, 162u);  // 161 full pages and one of 18
  std::printf("162 pages in %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - created).count());
  // A range of every position still gets 62 entries, and past the end nothing.
  const auto all = Exchange(Request(510, 1, {1, 0, 1, 0xFF, 0xFF}), 10.0);  // up to 65280
  ASSERT_TRUE(all.has_value());
  EXPECT_EQ(all->size(), 23u + 1988u);
  const auto beyond = Exchange(ListRequest(1, 10001, 10100), 10.0);
  ASSERT_TRUE(beyond.has_value());
  EXPECT_EQ(PayloadOf(*beyond), (Bytes{0x03, 0x66, 0x01, 16}));
  EXPECT_EQ(log.Lines.back().rfind("Elenco inviato (10000) [", 0), 0u) << log.Lines.back();
}

}  // namespace
}  // namespace varo::test
