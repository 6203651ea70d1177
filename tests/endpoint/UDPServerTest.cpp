#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "RequestBuilder.h"
#include "UdpPeer.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"

namespace varo {
namespace {

using namespace std::chrono_literals;
using test::BuildRequest;
using test::Bytes;
using test::UdpPeer;

// Counts datagrams that reached the main thread's queue, so a test can act while one waits there.
struct CountingHandOver : LoopHandOver {
  std::atomic<int> Queued{0};
  void RunOnMainThread(const std::function<void()>& work) override {
    ++Queued;
    LoopHandOver::RunOnMainThread(work);
  }
};

struct UDPServerTest : ::testing::Test {
  CountingHandOver handOver;
  RequestState state;
  HandlerTable handlers;
  UdpPeer client;   // sends requests
  UdpPeer replies;  // listens at the output port
  std::uint16_t inputPort = test::FreeUdpPort();
  UDPServer server{handOver, [this](const ReceivedDatagram& d) {
                     UDPServerUDPRead(state, handlers, d, server);
                   }};

  void SetUp() override {
    state.OutputPort = replies.Port();
    server.SetInputPort(inputPort);
    server.Activate();
  }

  // Serves the main thread until a reply arrives at peer, for at most two seconds.
  std::optional<Bytes> AwaitReply(UdpPeer& peer, std::chrono::milliseconds timeout = 2000ms) {
    std::optional<Bytes> got;
    handOver.ServeUntil(
        [&] {
          got = peer.Receive(0ms);
          return got.has_value();
        },
        timeout);
    return got;
  }

  std::optional<Bytes> Exchange(const Bytes& request) {
    client.SendTo(inputPort, request);
    return AwaitReply(replies);
  }
};

TEST_F(UDPServerTest, UnknownPairComesBackAsItsOwnHeaderAndZeroPayload) {
  Bytes request = BuildRequest({.Command = 530, .SubCommand = 1, .Payload = {1, 2, 3, 4, 5}});
  const Bytes echoed = {0x5A, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x01, 0x77};
  std::copy(echoed.begin(), echoed.end(), request.begin());
  for (int i = 12; i < 20; ++i) request[i] = static_cast<std::uint8_t>(0xC0 + i);
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->size(), 28u);
  EXPECT_TRUE(std::equal(request.begin(), request.begin() + 23, reply->begin()));
  EXPECT_EQ(Bytes(reply->begin() + 23, reply->end()), Bytes(5, 0));
}

TEST_F(UDPServerTest, ReplyGoesToOutputPortFromInputPortWhateverTheSourcePort) {
  UdpPeer otherClient;
  otherClient.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = 1}));
  const auto reply = AwaitReply(replies);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 1);
  EXPECT_EQ(replies.LastSourcePort(), inputPort);
  EXPECT_FALSE(otherClient.Receive(0ms));
}

TEST_F(UDPServerTest, ExtraBlockIsStoredButNeverSentBack) {
  const Bytes request = BuildRequest({.Command = 1, .Payload = {1}, .Extra = {0xE1, 0xE2, 0xE3}});
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->size(), 24u);
  EXPECT_EQ((*reply)[10], 0x00);
  EXPECT_EQ((*reply)[11], 0x03);  // the request's ExtraLength, echoed
  EXPECT_EQ(state.ExtraBlock[2], 0xE3);
}

TEST_F(UDPServerTest, BackToBackRequestsAreAnsweredInOrder) {
  for (std::uint8_t tag = 1; tag <= 5; ++tag) {
    client.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = tag}));
  }
  for (std::uint8_t tag = 1; tag <= 5; ++tag) {
    const auto reply = AwaitReply(replies);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], tag);
  }
}

TEST_F(UDPServerTest, MalformedAndOversizedDatagramsGetNoReplyAndServiceGoesOn) {
  std::vector<Bytes> bad;
  bad.push_back(Bytes(8193, 0));  // over the receive buffer
  bad.push_back(Bytes(22, 0));    // shorter than a header
  bad.push_back(Bytes{});         // empty
  Bytes longData = BuildRequest({.Command = 1, .Tag = 9});
  longData[8] = 0x07, longData[9] = 0xD1;  // DataLength 2001
  longData.resize(23 + 2001);
  bad.push_back(longData);
  Bytes longExtra = BuildRequest({.Command = 1, .Tag = 9});
  longExtra[10] = 0x07, longExtra[11] = 0xD1;  // ExtraLength 2001
  longExtra.resize(23 + 2001);
  bad.push_back(longExtra);
  Bytes beyond = BuildRequest({.Command = 1, .Payload = {1, 2, 3}, .Tag = 9});
  beyond[9] = 4;  // declares 4, carries 3
  bad.push_back(beyond);

  for (const Bytes& b : bad) client.SendTo(inputPort, b);
  // Requests are served in order of arrival: the first reply is the valid request's.
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 42}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 42);
  EXPECT_EQ(reply->size(), 23u);
}

TEST_F(UDPServerTest, LargestValidDatagramIsServed) {
  Bytes request =
      BuildRequest({.Command = 1, .Payload = Bytes(2000, 1), .Extra = Bytes(2000, 2), .Tag = 3});
  request.resize(8192, 0xFF);  // trailing bytes beyond the declared lengths are ignored
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), 23u + 2000u);
}

TEST_F(UDPServerTest, FailingHandlerGetsNoReplyAndTheNextRequestIsServed) {
  handlers.RichiestaLista = [](RequestState&) { throw std::runtime_error("cannot read"); };
  client.SendTo(inputPort, BuildRequest({.Command = 510, .SubCommand = 1, .Tag = 1}));
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 2}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 2);
}

TEST_F(UDPServerTest, PayloadBeyondDataLengthKeepsWhatAnEarlierRequestLeft) {
  handlers.RichiestaLista = [](RequestState& s) {
    std::copy_n(s.RequestPayload.begin(), 4, s.ReplyPayload.begin());
    s.Reply.DataLength = 4;
  };
  ASSERT_TRUE(Exchange(BuildRequest({.Command = 510, .SubCommand = 1, .Payload = {9, 8, 7, 6}})));
  const auto reply = Exchange(BuildRequest({.Command = 510, .SubCommand = 1, .Payload = {1}}));
  ASSERT_TRUE(reply);
  EXPECT_EQ(Bytes(reply->begin() + 23, reply->end()), (Bytes{1, 8, 7, 6}));
}

TEST_F(UDPServerTest, OutputPortChangeIsUsedByTheNextReply) {
  UdpPeer newReplies;
  state.OutputPort = newReplies.Port();
  client.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = 5}));
  const auto reply = AwaitReply(newReplies);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 5);
  EXPECT_FALSE(replies.Receive(0ms));
}

TEST_F(UDPServerTest, OutputPortOutsideSixteenBitsMeansNoReplyButTheRequestIsHandled) {
  int handled = 0;
  handlers.RichiestaLista = [&](RequestState&) { ++handled; };
  for (std::int32_t port : {70000, -1}) {
    state.OutputPort = port;
    client.SendTo(inputPort, BuildRequest({.Command = 510, .SubCommand = 1}));
  }
  ASSERT_TRUE(handOver.ServeUntil([&] { return handled == 2; }, 2000ms));
  state.OutputPort = replies.Port();
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 7}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 7);  // nothing else arrived first
}

TEST_F(UDPServerTest, InputPortChangeMovesTheEndpoint) {
  const std::uint16_t oldPort = inputPort;
  server.Deactivate();
  EXPECT_FALSE(server.Active());
  inputPort = test::FreeUdpPort();
  server.SetInputPort(inputPort);
  server.Activate();
  client.SendTo(oldPort, BuildRequest({.Command = 1, .Tag = 1}));
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 2}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 2);
  EXPECT_FALSE(AwaitReply(replies, 200ms));
}

TEST_F(UDPServerTest, AMoveAnswersEveryRequestQueuedOnTheOldPortThenServesTheNewOne) {
  // The listener hands the first over and waits; the others queue on the old socket meanwhile.
  constexpr int Queued = 50;
  for (int tag = 1; tag <= Queued; ++tag) {
    client.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = static_cast<std::uint8_t>(tag)}));
  }
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (handOver.Queued == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_GT(handOver.Queued, 0);
  const std::uint16_t newPort = test::FreeUdpPort();
  server.MoveTo(newPort, [] {});
  client.SendTo(newPort, BuildRequest({.Command = 1, .Tag = Queued + 1}));
  std::set<int> answered;
  handOver.ServeUntil(
      [&] {
        while (const auto reply = replies.Receive(0ms)) answered.insert((*reply)[0]);
        return answered.size() == Queued + 1;
      },
      5000ms);
  EXPECT_EQ(answered.size(), Queued + 1u);
}

TEST_F(UDPServerTest, AMoveDuringAFloodToTheOldPortReturnsWithinOneSecond) {
  // Each request takes a millisecond to serve: the flood outruns the server.
  handlers.RichiestaLista = [](RequestState&) { std::this_thread::sleep_for(1ms); };
  const std::uint16_t oldPort = inputPort;
  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  std::thread flood([&] {
    UdpPeer sender;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!done && std::chrono::steady_clock::now() < end) {
      sender.SendTo(oldPort, BuildRequest({.Command = 510, .SubCommand = 1}));
      ++sent;
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (sent < 1000 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  const std::uint16_t newPort = test::FreeUdpPort();
  const auto start = std::chrono::steady_clock::now();
  server.MoveTo(newPort, [] {});
  const auto held = std::chrono::steady_clock::now() - start;
  done = true;
  flood.join();
  EXPECT_LT(held, 1s);
  inputPort = newPort;
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 3}));
  ASSERT_TRUE(reply);
}

TEST_F(UDPServerTest, BindFailuresLeaveTheEndpointInactiveWithTheBindText) {
  LoopHandOver otherHandOver;
  UDPServer second(otherHandOver, nullptr);
  for (std::int32_t port : {static_cast<std::int32_t>(inputPort), 70000, -1, 65536}) {
    second.SetInputPort(port);
    try {
      second.Activate();
      ADD_FAILURE() << "port " << port << " was bound";
    } catch (const BindError& e) {
      EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(second.Active());
  }
  // The first endpoint still serves.
  ASSERT_TRUE(Exchange(BuildRequest({.Command = 1})));
}

TEST_F(UDPServerTest, DeactivatingWithARequestInFlightReturnsWithinOneSecond) {
  int handled = 0;
  handlers.RichiestaLista = [&](RequestState&) { ++handled; };
  client.SendTo(inputPort, BuildRequest({.Command = 510, .SubCommand = 1}));
  // Wait, without serving, until the listener has handed the datagram over and blocks on it.
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (handOver.Queued == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(handOver.Queued, 1);
  const auto start = std::chrono::steady_clock::now();
  server.Deactivate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(handled, 1);                 // still handled on the main thread
  EXPECT_FALSE(replies.Receive(200ms));  // but not answered: the endpoint is stopping
}

TEST_F(UDPServerTest, DeactivatingAnIdleEndpointReturnsWithinOneSecond) {
  const auto start = std::chrono::steady_clock::now();
  server.Deactivate();
  server.Deactivate();  // a second time does nothing
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  server.Activate();
  ASSERT_TRUE(Exchange(BuildRequest({.Command = 1})));
}

TEST_F(UDPServerTest, AListenerThatCannotStartLeavesTheEndpointInactiveAndClosed) {
  server.Deactivate();
  server.SetListenerStarter([](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  EXPECT_THROW(server.Activate(), std::system_error);
  EXPECT_FALSE(server.Active());
  // Nothing is left waiting for a thread that never ran, and the socket is let go.
  const auto start = std::chrono::steady_clock::now();
  server.Deactivate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  { UdpPeer takesThePort(inputPort); }

  server.SetListenerStarter([](std::function<void()> body) { return std::thread(body); });
  server.Activate();
  ASSERT_TRUE(Exchange(BuildRequest({.Command = 1, .Tag = 4})));
}

TEST_F(UDPServerTest, ItsOwnRepliesAreNeverHandledWhenTheOutputPortIsTheInputPort) {
  int handled = 0;
  handlers.RichiestaLista = [&](RequestState& s) {
    ++handled;
    s.Reply.DataLength = 2;
  };
  state.OutputPort = inputPort;
  // From 127.0.0.1 the reply comes back to itself directly; to 127.0.0.2 it leaves the same way.
  UdpPeer second(0, "127.0.0.2");
  client.SendTo(inputPort, BuildRequest({.Command = 510, .SubCommand = 1}));
  second.SendTo(inputPort, BuildRequest({.Command = 510, .SubCommand = 1}));
  handOver.ServeFor(500ms);
  EXPECT_EQ(handled, 2);

  state.OutputPort = replies.Port();
  const auto reply = Exchange(BuildRequest({.Command = 1, .Tag = 6}));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 6);
  EXPECT_EQ(handled, 2);
}

TEST(OwnReply, OnlyTheInputPortOfThisHostCounts) {
  // Addresses in network byte order, written out: 127.0.0.9, 192.0.2.1, 192.0.2.7.
  const std::uint32_t loopback9 = 0x0900007F, here = 0x010200C0, other = 0x070200C0;
  const auto from = [](std::uint32_t address, std::uint16_t port, std::uint32_t to) {
    ReceivedDatagram d;
    d.SenderAddress = address;
    d.SenderPort = port;
    d.DestinationAddress = to;
    return d;
  };
  EXPECT_TRUE(IsOwnReply(from(loopback9, 7770, 0x0100007F), 7770));
  EXPECT_TRUE(IsOwnReply(from(here, 7770, here), 7770));
  EXPECT_FALSE(IsOwnReply(from(other, 7770, here), 7770));  // a client listening on that number
  EXPECT_FALSE(IsOwnReply(from(loopback9, 7771, 0x0100007F), 7770));
  EXPECT_FALSE(IsOwnReply(from(here, 7000, here), 7770));
  EXPECT_EQ(DottedQuad(loopback9), "127.0.0.9");
  EXPECT_EQ(DottedQuad(other), "192.0.2.7");
}

}  // namespace
}  // namespace varo
