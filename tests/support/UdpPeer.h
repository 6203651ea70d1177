// A loopback UDP socket for tests: sends requests and waits, for a bounded time, for replies.
// UdpPeerPosix.cpp and UdpPeerWin32.cpp hold the socket calls of each system.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varo::test {

using Bytes = std::vector<std::uint8_t>;

// A UDP port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreeUdpPort();

class UdpPeer {
 public:
  // Binds address:port (port 0 picks a free one).
  explicit UdpPeer(std::uint16_t port = 0, const std::string& address = "127.0.0.1");
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  std::uint16_t Port() const { return port_; }
  void SendTo(std::uint16_t port, const Bytes& bytes, const std::string& address = "127.0.0.1");
  // The next datagram, or nothing when none arrives within the timeout.
  std::optional<Bytes> Receive(std::chrono::milliseconds timeout);
  // Source port of the last datagram received.
  std::uint16_t LastSourcePort() const { return lastSourcePort_; }

 private:
  std::intptr_t socket_ = -1;  // a descriptor, or a SOCKET on Windows
  std::uint16_t port_ = 0;
  std::uint16_t lastSourcePort_ = 0;
};

}  // namespace varo::test
