#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RequestBuilder.h"
#include "endpoint/RequestDispatch.h"

namespace varo {
namespace {

using test::BuildRequest;
using test::RequestFields;

struct CapturingSender : ReplySender {
  std::vector<std::vector<std::uint8_t>> Replies;
  std::vector<std::int32_t> Ports;
  void SendReply(const ReceivedDatagram&, std::int32_t port,
                 std::span<const std::uint8_t> reply) override {
    Replies.emplace_back(reply.begin(), reply.end());
    Ports.push_back(port);
  }
};

struct DispatchTest : ::testing::Test {
  RequestState state;
  HandlerTable handlers;
  CapturingSender sender;
  std::vector<std::string> ran;

  void SetUp() override {
    auto mark = [this](const char* name) {
      return [this, name](RequestState&) { ran.push_back(name); };
    };
    handlers.RichiestaLista = mark("lista");
    handlers.RichiestaCancellazione = mark("cancellazione");
    handlers.RichiestaInfoTotocalcio = mark("info-tc");
    handlers.RichiestaBigliettoTotocalcio = mark("biglietto-tc");
    handlers.RichiestaInfoTotogol = mark("info-tg");
    handlers.RichiestaBigliettoTotogol = mark("biglietto-tg");
  }

  void Handle(const std::vector<std::uint8_t>& bytes) {
    ReceivedDatagram d;
    d.Bytes = bytes;
    UDPServerUDPRead(state, handlers, d, sender);
  }
};

TEST_F(DispatchTest, EachCommandPairRunsItsOwnHandlerAndNoOther) {
  const struct {
    std::uint16_t Command;
    std::uint8_t Sub;
    std::vector<std::string> Expected;
  } cases[] = {
      {510, 1, {"lista"}},   {510, 2, {"cancellazione"}},
      {520, 1, {"info-tc"}}, {520, 2, {"biglietto-tc"}},
      {530, 3, {"info-tg"}}, {530, 4, {"biglietto-tg"}},
      {530, 1, {}},          {520, 3, {}},
      {510, 3, {}},          {0, 1, {}},
      {511, 1, {}},
  };
  for (const auto& c : cases) {
    ran.clear();
    Handle(BuildRequest({.Command = c.Command, .SubCommand = c.Sub}));
    EXPECT_EQ(ran, c.Expected) << c.Command << "/" << int(c.Sub);
  }
  EXPECT_EQ(sender.Replies.size(), std::size(cases));
}

TEST_F(DispatchTest, HandlerSeesZeroedReplyAndHeaderCopyAndItsDataLengthIsSent) {
  state.ReplyPayload.fill(0xEE);
  handlers.RichiestaLista = [](RequestState& s) {
    for (std::uint8_t b : s.ReplyPayload) ASSERT_EQ(b, 0);
    EXPECT_EQ(int(s.Reply.DataLength), 3);
    EXPECT_EQ(int(s.Reply.ExtraLength), 2);
    EXPECT_EQ(s.RequestPayload[0], 7);
    EXPECT_EQ(s.ExtraBlock[1], 0x42);
    s.ReplyPayload[0] = 0xAB;
    s.ReplyPayload[1] = 0xCD;
    s.Reply.DataLength = 2;
  };
  Handle(
      BuildRequest({.Command = 510, .SubCommand = 1, .Payload = {7, 8, 9}, .Extra = {0x41, 0x42}}));
  ASSERT_EQ(sender.Replies.size(), 1u);
  const auto& r = sender.Replies[0];
  ASSERT_EQ(r.size(), 25u);
  EXPECT_EQ(r[8], 0x00);
  EXPECT_EQ(r[9], 0x02);
  EXPECT_EQ(r[23], 0xAB);
  EXPECT_EQ(r[24], 0xCD);
}

TEST_F(DispatchTest, ReplyLongerThanTheAreaIsNeverSent) {
  handlers.RichiestaLista = [](RequestState& s) { s.Reply.DataLength = 2001; };
  EXPECT_THROW(Handle(BuildRequest({.Command = 510, .SubCommand = 1})), std::length_error);
  EXPECT_TRUE(sender.Replies.empty());
}

TEST_F(DispatchTest, MalformedDatagramsLeaveTheStateAsItWas) {
  Handle(BuildRequest({.Command = 1, .Payload = {1, 2, 3, 4}, .Extra = {5, 6}}));
  const RequestState before = state;
  std::vector<std::vector<std::uint8_t>> malformed;
  malformed.push_back(std::vector<std::uint8_t>(22, 0));
  auto longData = BuildRequest({.Command = 1, .Payload = std::vector<std::uint8_t>(2001, 9)});
  malformed.push_back(longData);
  auto longExtra = BuildRequest({.Command = 1, .Extra = std::vector<std::uint8_t>(2001, 9)});
  malformed.push_back(longExtra);
  auto beyond = BuildRequest({.Command = 1, .Payload = {9, 9, 9}, .Extra = {9}});
  beyond.pop_back();  // declares one byte more than it carries
  malformed.push_back(beyond);
  for (const auto& m : malformed) Handle(m);
  EXPECT_EQ(sender.Replies.size(), 1u);
  EXPECT_EQ(0, std::memcmp(&before.Request, &state.Request, sizeof state.Request));
  EXPECT_EQ(0, std::memcmp(&before.Reply, &state.Reply, sizeof state.Reply));
  EXPECT_EQ(before.RequestPayload, state.RequestPayload);
  EXPECT_EQ(before.ExtraBlock, state.ExtraBlock);
  EXPECT_EQ(before.ReplyPayload, state.ReplyPayload);
}

TEST_F(DispatchTest, BytesBeyondTheDeclaredLengthsAreIgnored) {
  auto d = BuildRequest({.Command = 1, .Payload = {1, 2}});
  d.insert(d.end(), {0x77, 0x77, 0x77});
  Handle(d);
  ASSERT_EQ(sender.Replies.size(), 1u);
  EXPECT_EQ(sender.Replies[0].size(), 25u);
  EXPECT_EQ(state.RequestPayload[2], 0);
  EXPECT_EQ(state.ExtraBlock[0], 0);
}

}  // namespace
}  // namespace varo
