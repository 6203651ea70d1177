// The client's one UDP socket: bound to the reply port, it sends a request and waits, for a
// bounded time, for the datagram that answers it, or for the server's host to report that nothing
// listens on the server's port.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "ClientRequests.h"

namespace varo::client {

// The socket could not be made, bound or used, or the host is unknown.
class SocketFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The server's host answered a request with an ICMP "port unreachable": nothing listens there.
class PortClosed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ReplySocket {
 public:
  // Binds the any-address at replyPort and resolves host (IPv4); throws SocketFailure.
  ReplySocket(const std::string& host, std::uint16_t serverPort, std::uint16_t replyPort);
  ~ReplySocket();
  ReplySocket(const ReplySocket&) = delete;
  ReplySocket& operator=(const ReplySocket&) = delete;

  // Sends request to the server and returns the first datagram from the server's port that
  // answers(it) accepts, or nothing once timeout has passed. Throws SocketFailure, or PortClosed
  // as soon as the server's host reports that nothing listens on the server's port.
  std::optional<Datagram> Exchange(const Datagram& request,
                                   const std::function<bool(const Datagram&)>& answers,
                                   std::chrono::milliseconds timeout);

 private:
  // Empties the socket's error queue; true when an error in it is a "port unreachable" for a
  // datagram sent to the server's address and port.
  bool ServerPortReportedClosed();

  int fd_ = -1;
  std::uint32_t serverAddress_ = 0;  // network byte order
  std::uint16_t serverPort_ = 0;
};

}  // namespace varo::client
