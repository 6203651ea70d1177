// A closed-loop UDP client on loopback (one request in flight, the next sent when the reply is
// in) and the minimal echo server that sets the floor it is compared with.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace varo::bench {

using Datagram = std::vector<std::uint8_t>;
using Duration = std::chrono::duration<double, std::micro>;

class ClosedLoopClient {
 public:
  // Binds 127.0.0.1 at replyPort, where answers are expected.
  explicit ClosedLoopClient(std::uint16_t replyPort);
  ~ClosedLoopClient();
  ClosedLoopClient(const ClosedLoopClient&) = delete;
  ClosedLoopClient& operator=(const ClosedLoopClient&) = delete;

  // Sends the request to 127.0.0.1:serverPort and returns the time until its reply (the datagram
  // that echoes its header bytes 13 to 18), or nothing after timeout.
  std::optional<Duration> Exchange(std::uint16_t serverPort, const Datagram& request,
                                   std::chrono::milliseconds timeout, Datagram* reply = nullptr);

 private:
  int fd_ = -1;
};

// Answers every datagram on 127.0.0.1:port with the same bytes, sent to the sender's address at
// replyPort, from its own thread until destroyed.
class EchoServer {
 public:
  EchoServer(std::uint16_t port, std::uint16_t replyPort);
  ~EchoServer();
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

 private:
  int fd_ = -1;
  std::uint16_t replyPort_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A UDP port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreePort();

}  // namespace varo::bench
