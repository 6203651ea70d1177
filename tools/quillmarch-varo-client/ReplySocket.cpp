#include "ReplySocket.h"

#include <arpa/inet.h>
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
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got =
        recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0) {
      // An ICMP "port unreachable" for an earlier send shows up here; keep waiting.
      if (errno == EINTR || errno == ECONNREFUSED || errno == EAGAIN) continue;
      throw SocketFailure(std::string("cannot receive the answer: ") + strerror(errno));
    }
    // The server answers from its input port; stray datagrams and stale replies are skipped.
    if (ntohs(from.sin_port) != serverPort_) continue;
    Datagram reply(buffer.begin(), buffer.begin() + got);
    if (answers(reply)) return reply;
  }
}

}  // namespace varo::client
