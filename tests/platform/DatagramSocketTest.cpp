#include "platform/DatagramSocket.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <future>

#include "UdpPeer.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace varo {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::UdpPeer;

std::array<std::uint8_t, 4> AddressBytes(std::uint32_t networkOrder) {
  std::array<std::uint8_t, 4> bytes;
  std::memcpy(bytes.data(), &networkOrder, bytes.size());
  return bytes;
}

// Bounded: a receive that never ends fails the test instead of hanging it forever.
ReceiveOutcome ReceiveWithin(DatagramSocket& socket, std::span<std::uint8_t> buffer,
                             DatagramInfo& info) {
  auto outcome = std::async(std::launch::async, [&] { return socket.Receive(buffer, info); });
  if (outcome.wait_for(5s) != std::future_status::ready) {
    socket.Wake();
    ADD_FAILURE() << "no datagram and no wake-up within 5 s";
  }
  return outcome.get();
}

TEST(DatagramSocket, ReceiveTellsSenderAndDestinationAndDropsWhatDoesNotFitWhole) {
  DatagramSocket socket;
  ASSERT_FALSE(socket.Open(0));
  ASSERT_NE(socket.BoundPort(), 0);
  // Every 127/8 address is this host: the destination differs from the sender's address.
  UdpPeer peer;
  peer.SendTo(socket.BoundPort(), Bytes{}, "127.0.0.3");  // empty, and no wake-up for that
  peer.SendTo(socket.BoundPort(), Bytes(9, 0xAB), "127.0.0.3");
  peer.SendTo(socket.BoundPort(), Bytes{1, 2, 3, 4, 5, 6, 7, 8}, "127.0.0.3");

  std::array<std::uint8_t, 8> buffer{};
  DatagramInfo info;
  ASSERT_EQ(ReceiveWithin(socket, buffer, info), ReceiveOutcome::Datagram);
  EXPECT_EQ(info.Length, 0u);
  EXPECT_EQ(ReceiveWithin(socket, buffer, info), ReceiveOutcome::Dropped);
  ASSERT_EQ(ReceiveWithin(socket, buffer, info), ReceiveOutcome::Datagram);
  EXPECT_EQ(info.Length, 8u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(AddressBytes(info.SenderAddress), (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_EQ(info.SenderPort, peer.Port());
  EXPECT_EQ(AddressBytes(info.DestinationAddress), (std::array<std::uint8_t, 4>{127, 0, 0, 3}));

  // And a reply goes back to the sender's address at the port asked for, from the bound port.
  UdpPeer replies;
  socket.SendTo(info.SenderAddress, replies.Port(), Bytes{9, 9});
  const auto reply = replies.Receive(2000ms);
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, (Bytes{9, 9}));
  EXPECT_EQ(replies.LastSourcePort(), socket.BoundPort());
}

TEST(DatagramSocket, WakeEndsAWaitFromAnotherThreadAndEveryLaterOneAndWinsOverADatagram) {
  DatagramSocket socket;
  ASSERT_FALSE(socket.Open(0));
  std::array<std::uint8_t, 16> buffer{};
  DatagramInfo info;
  auto waiting = std::async(std::launch::async, [&] { return socket.Receive(buffer, info); });
  EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);  // it does wait
  socket.Wake();
  ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), ReceiveOutcome::Woken);

  UdpPeer peer;
  peer.SendTo(socket.BoundPort(), Bytes{1});
  EXPECT_EQ(ReceiveWithin(socket, buffer, info), ReceiveOutcome::Woken);
}

TEST(DatagramSocket, APortTakenOrOutsideSixteenBitsIsRefusedWithItsCause) {
  DatagramSocket first;
  ASSERT_FALSE(first.Open(0));
  DatagramSocket second;
  EXPECT_EQ(second.Open(first.BoundPort()), BindFailure::InUse);
  EXPECT_FALSE(second.IsOpen());
  for (std::int32_t port : {-1, 65536, 70000}) {
    EXPECT_EQ(second.Open(port), BindFailure::InvalidPort) << port;
    EXPECT_FALSE(second.IsOpen());
  }
  // Closed, the port is free again.
  const std::uint16_t port = first.BoundPort();
  first.Close();
  EXPECT_FALSE(second.Open(port));
  EXPECT_EQ(second.BoundPort(), port);
#ifndef _WIN32
  // No descriptor left for a socket at all: that is no port in use.
  second.Close();
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = dup(0);
  ASSERT_GE(lowestFree, 0);
  close(lowestFree);
  rlimit none = saved;
  none.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  const std::optional<BindFailure> exhausted = second.Open(port);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(exhausted, BindFailure::NoResources);
#endif
}

}  // namespace
}  // namespace varo
