#include "ReplySocket.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varo::client {

namespace {

// The largest datagram UDP carries; anything the server sends fits.
constexpr std::size_t ReceiveBufferSize = 65536;

std::uint32_t Resolve(const std::string& host) {
  in_addr address{};
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address.s_addr;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    throw SocketFailure("cannot find the IPv4 address of \"" + host + "\"");
  }
  const std::uint32_t result = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return result;
}

}  // namespace

ReplySocket::ReplySocket(const std::string& host, std::uint16_t serverPort, std::uint16_t replyPort)
    : serverAddress_(Resolve(host)), serverPort_(serverPort) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw SocketFailure(std::string("cannot open a UDP socket: ") + strerror(errno));
  // ICMP errors for the requests are queued on this socket, which sends them, so that a closed
  // server port is reported at once. The socket stays unconnected: a server with several addresses
  // may answer from another one than the request went to. Without the option the client still
  // works and waits out the timeout instead.
  const int on = 1;
  setsockopt(fd_, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(replyPort);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    close(fd_);
    fd_ = -1;
    throw SocketFailure("cannot listen for the answer on port " + std::to_string(replyPort) + ": " +
                        strerror(error) +
                        " (another client may be waiting there; see --reply-port)");
  }
}

ReplySocket::~ReplySocket() {
  if (fd_ >= 0) close(fd_);
}

std::optional<Datagram> ReplySocket::Exchange(const Datagram& request,
                                              const std::function<bool(const Datagram&)>& answers,
                                              std::chrono::milliseconds timeout) {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_addr.s_addr = serverAddress_;
  server.sin_port = htons(serverPort_);
  const ssize_t sent = sendto(fd_, request.data(), request.size(), 0,
                              reinterpret_cast<sockaddr*>(&server), sizeof server);
  if (sent != static_cast<ssize_t>(request.size())) {
    throw SocketFailure(std::string("cannot send the request: ") + strerror(errno));
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Datagram buffer(ReceiveBufferSize);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0)
      throw SocketFailure(std::string("cannot wait for the answer: ") + strerror(errno));
    if (ready == 0) return std::nullopt;
    if (p.revents & POLLERR) {
      if (ServerPortReportedClosed()) {
        throw PortClosed("nothing listens on the server's port");
      }
      if (!(p.revents & POLLIN)) continue;
    }
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got =
        recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0) {
      // A queued ICMP error shows up here too; the error queue, read above, tells what it was.
      if (errno == EINTR || errno == ECONNREFUSED || errno == EAGAIN) continue;
      throw SocketFailure(std::string("cannot receive the answer: ") + strerror(errno));
    }
    // The server answers from its input port; stray datagrams and stale replies are skipped.
    if (ntohs(from.sin_port) != serverPort_) continue;
    Datagram reply(buffer.begin(), buffer.begin() + got);
    if (answers(reply)) return reply;
  }
}

bool ReplySocket::ServerPortReportedClosed() {
  bool closed = false;
  // The queue holds at most what the socket's receive buffer takes; each call dequeues one error.
  for (;;) {
    sockaddr_in destination{};
    char start[64];  // the start of the datagram the error is about, not looked at
    alignas(cmsghdr) char control[512];
    iovec part{start, sizeof start};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
      if (errno == EINTR) continue;
      // Empty. Reading SO_ERROR clears a pending error that came without a queued one, which
      // would otherwise wake every wait at once.
      int pending = 0;
      socklen_t length = sizeof pending;
      getsockopt(fd_, SOL_SOCKET, SO_ERROR, &pending, &length);
      return closed;
    }
    // msg_name is where the failed datagram went: an error about another address or port, or
    // one not from ICMP, says nothing about the server.
    const bool aboutServer =
        message.msg_namelen >= sizeof destination && destination.sin_family == AF_INET &&
        destination.sin_addr.s_addr == serverAddress_ && ntohs(destination.sin_port) == serverPort_;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
      sock_extended_err error{};
      std::memcpy(&error, CMSG_DATA(c), sizeof error);
      if (aboutServer && error.ee_origin == SO_EE_ORIGIN_ICMP && error.ee_errno == ECONNREFUSED) {
        closed = true;
      }
    }
  }
}

}  // namespace varo::client
