// What a peer on the network can reach and cause: nothing outside the game folders, replies of at
// most 23 + 2000 bytes, and the worst ratio of reply bytes to request bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include "InProcessServer.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemSummary.h"
#include "archive/TicketColumns.h"

namespace varo::test {
namespace {

constexpr std::size_t LargestReply = 23 + 2000;
// The largest list reply: the 4-byte head and 62 entries of 32 bytes after the header.
constexpr std::size_t LargestListReply = 23 + 4 + 62 * 32;

using LinkSwap = InProcessServer;

TEST_F(LinkSwap, ALinkSwappedInForAListedFileReachesNothingOutsideTheGameFolders) {
  const auto outside = documents.Path() / "outside";
  std::filesystem::create_directories(outside);
  const auto secret = outside / "secret.tcl.7";
  const std::string secretBytes = Columns(2, 0x07);
  WriteBytes(secret, secretBytes);
  const auto listed = calcio / "x.tcl.7";
  WriteBytes(listed, Columns(3, 0x01));

  const Bytes list = Request(510, 1, {1, 0, 1, 0, 10});
  const auto before = Exchange(list);
  ASSERT_TRUE(before.has_value());
  ASSERT_EQ(PayloadOf(*before)[3], 1);  // x.tcl.7 is listed

  // Between two requests the listed file becomes a link with the same name, and a folder link
  // with a matching name appears beside it.
  std::filesystem::remove(listed);
  std::filesystem::create_symlink(secret, listed);
  std::filesystem::create_directory_symlink(outside, calcio / "d.tcl.8");

  const auto after = Exchange(list);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(PayloadOf(*after), (Bytes{0x03, 0x66, 0x01, 0x00}));  // neither link is listed
  Bytes notFound(61, 0);
  notFound[0] = 0x03;
  notFound[1] = 0x66;
  const auto info = Exchange(Request(520, 1, {0, 0, 0, 7}));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(PayloadOf(*info), notFound);
  const auto ticket = Exchange(Request(520, 2, {0, 0, 0, 7, 0, 1}));
  ASSERT_TRUE(ticket.has_value());
  EXPECT_EQ(PayloadOf(*ticket), (Bytes{0x03, 0x66, 0, 0, 0, 0, 0, 0, 0}));
  for (const Bytes& remove : {Request(510, 2, {1, 0, 0, 0, 7}), Request(510, 2, {1, 0, 0, 0, 8})}) {
    const auto removed = Exchange(remove);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(PayloadOf(*removed), (Bytes{0x03, 0x66}));
  }
  EXPECT_EQ(FileBytes(secret), secretBytes);
  EXPECT_TRUE(std::filesystem::is_symlink(listed));
  EXPECT_TRUE(std::filesystem::is_directory(outside));

  // Were the link swapped in after a lookup found the file, within one request: reading refuses
  // the link, and deleting removes the link, never its target.
  SystemSummary summary{};
  EXPECT_ANY_THROW(GetInfoTotocalcio(listed.string(), summary));
  EXPECT_ANY_THROW(ReadTicketColumns(listed.string(), 1));
  DeleteSystemFile(listed.string());
  EXPECT_FALSE(std::filesystem::is_symlink(listed));
  EXPECT_EQ(FileBytes(secret), secretBytes);
}

// Collects every reply instead of sending it.
struct CapturingSender : ReplySender {
  std::vector<Bytes> Replies;
  void SendReply(const ReceivedDatagram&, std::int32_t,
                 std::span<const std::uint8_t> reply) override {
    Replies.emplace_back(reply.begin(), reply.end());
  }
};

class ReplyBounds : public ::testing::Test {
 protected:
  TempDir documents;
  ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
  RecordingLog log;
  HandlerTable handlers = MakeHandlerTable(folders, log);
  RequestState state;
  CapturingSender sender;
  std::size_t largest = 0;
  double worstRatio = 0;

  // 70 systems of 130 columns in each game: lists overflow 62 entries, tickets are full.
  void SetUp() override {
    std::filesystem::create_directories(folders.TotocalcioFolder);
    std::filesystem::create_directories(folders.TotogolFolder);
    for (int code = 1; code <= 70; ++code) {
      const std::string n = std::to_string(code);
      WriteBytes(folders.TotocalcioFolder + "/s" + n + ".tcl." + n, Columns(130, 0x8F));
      WriteBytes(folders.TotogolFolder + "/s" + n + ".gcl." + n, Columns(130, 0x8F));
    }
  }

  // Runs one datagram; returns its reply, if any, after checking the bounds on it.
  std::optional<Bytes> Drive(const Bytes& datagram) {
    ReceivedDatagram received;
    received.Bytes = datagram;
    received.SenderAddress = 0x0100007F;
    const std::size_t before = sender.Replies.size();
    try {
      UDPServerUDPRead(state, handlers, received, sender);
    } catch (const std::exception&) {
      // A failed request gets no reply; that is all a peer learns.
    }
    if (sender.Replies.size() == before) return std::nullopt;
    EXPECT_EQ(sender.Replies.size(), before + 1);
    Bytes reply = sender.Replies.back();
    sender.Replies.clear();
    EXPECT_GE(datagram.size(), 23u);
    EXPECT_LE(reply.size(), LargestReply);
    EXPECT_EQ(reply.size(), 23u + (reply[8] << 8 | reply[9]));
    largest = std::max(largest, reply.size());
    worstRatio = std::max(worstRatio, double(reply.size()) / double(datagram.size()));
    return reply;
  }
};

TEST_F(ReplyBounds, NoRequestRandomOrWorstCaseBringsMoreThan2023Bytes) {
  // Worst cases first: a full list, the largest declared payload, a full Totogol ticket.
  const auto list = Drive(Request(510, 1, {1, 0, 1, 0xFF, 0xFF}));
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->size(), LargestListReply);
  const auto echo = Drive(Request(999, 9, Bytes(2000, 0xAB)));
  ASSERT_TRUE(echo.has_value());
  EXPECT_EQ(echo->size(), LargestReply);
  const auto ticket = Drive(Request(530, 4, {0, 0, 0, 1, 0, 1}));
  ASSERT_TRUE(ticket.has_value());
  EXPECT_EQ(ticket->size(), 23u + 9u + 64u * 9u);
  // Declared lengths beyond the datagram or the areas get nothing.
  Bytes lying = Request(510, 1, {1, 0, 1, 0xFF, 0xFF});
  lying[8] = 0x07;
  lying[9] = 0xD1;  // 2001
  EXPECT_FALSE(Drive(lying).has_value());
  EXPECT_FALSE(Drive(Bytes(22, 0)).has_value());

  // Random datagrams, most of them with a real command pair so the handlers run.
  std::mt19937 random(777);
  const std::pair<std::uint16_t, std::uint8_t> pairs[] = {
      {510, 1}, {510, 1}, {510, 1}, {520, 1}, {520, 2}, {530, 3}, {530, 4}, {510, 2}, {0, 0}};
  for (int i = 0; i < 4000; ++i) {
    std::size_t size = random() % 3 == 0 ? random() % 8193 : 23 + random() % 40;
    Bytes datagram(size);
    for (auto& byte : datagram) byte = static_cast<std::uint8_t>(random());
    if (size >= 23 && random() % 4 != 0) {
      const auto& [command, sub] = pairs[random() % std::size(pairs)];
      if (command != 0) {
        datagram[20] = static_cast<std::uint8_t>(command >> 8);
        datagram[21] = static_cast<std::uint8_t>(command);
        datagram[22] = sub;
      }
      const std::size_t room = std::min<std::size_t>(size - 23, 2000);
      const std::size_t declared = random() % (room + 1);
      datagram[8] = static_cast<std::uint8_t>(declared >> 8);
      datagram[9] = static_cast<std::uint8_t>(declared);
      datagram[10] = datagram[11] = 0;
    }
    Drive(datagram);
  }
  EXPECT_EQ(largest, LargestReply);
  std::printf("largest reply %zu bytes\n", largest);
}

TEST_F(ReplyBounds, ReflectionIsAtMostSeventyTwoFoldFromOneRequestAndEightySevenAfterPriming) {
  // The smallest request that brings the largest list on its own: 23 + 5 bytes in, 2011 out.
  const Bytes full = Request(510, 1, {1, 0, 1, 0xFF, 0xFF});
  ASSERT_EQ(full.size(), 28u);
  const auto reply = Drive(full);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->size(), 2011u);
  EXPECT_NEAR(double(reply->size()) / double(full.size()), 71.8, 0.05);

  // The payload area keeps what earlier requests left, so a bare 23-byte list request repeats
  // the full list: 2011 / 23.
  const auto repeated = Drive(Request(510, 1, {}));
  ASSERT_TRUE(repeated.has_value());
  EXPECT_EQ(repeated->size(), 2011u);
  EXPECT_NEAR(double(repeated->size()) / 23.0, 87.4, 0.05);

  // No request does better than that: the unknown pair echoes at most its own size.
  std::mt19937 random(99);
  for (int i = 0; i < 2000; ++i) {
    Bytes payload(random() % 8);
    for (auto& byte : payload) byte = static_cast<std::uint8_t>(random());
    const std::uint16_t command = random() % 2 ? 510 : static_cast<std::uint16_t>(random());
    Drive(Request(command, static_cast<std::uint8_t>(random() % 5), payload));
  }
  EXPECT_LE(worstRatio, 2011.0 / 23.0 + 1e-9);
  std::printf("worst reply/request ratio %.1f\n", worstRatio);
}

}  // namespace
}  // namespace varo::test
