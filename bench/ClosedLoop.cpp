#include "ClosedLoop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace varo::bench {

namespace {

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

int BoundSocket(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("cannot open a UDP socket");
  sockaddr_in a = Loopback(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    throw std::runtime_error("cannot bind UDP port " + std::to_string(port));
  }
  return fd;
}

}  // namespace

std::uint16_t FreePort() {
  const int fd = BoundSocket(0);
  sockaddr_in a{};
  socklen_t length = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  close(fd);
  return ntohs(a.sin_port);
}

ClosedLoopClient::ClosedLoopClient(std::uint16_t replyPort) : fd_(BoundSocket(replyPort)) {}

ClosedLoopClient::~ClosedLoopClient() {
  close(fd_);
}

std::optional<Duration> ClosedLoopClient::Exchange(std::uint16_t serverPort,
                                                   const Datagram& request,
                                                   std::chrono::milliseconds timeout,
                                                   Datagram* reply) {
  static Datagram buffer(65536);
  const sockaddr_in server = Loopback(serverPort);
  const auto start = std::chrono::steady_clock::now();
  if (sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&server),
             sizeof server) != static_cast<ssize_t>(request.size())) {
    throw std::runtime_error("cannot send a request");
  }
  const auto deadline = start + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() < 0 || poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) {
      return std::nullopt;
    }
    const ssize_t got = recv(fd_, buffer.data(), buffer.size(), 0);
    if (got < 23) continue;
    // The echoed header bytes 13 to 18 tell this request's answer from a late one.
    if (!std::equal(request.begin() + 13, request.begin() + 19, buffer.begin() + 13)) continue;
    const Duration took = std::chrono::steady_clock::now() - start;
    if (reply) reply->assign(buffer.begin(), buffer.begin() + got);
    return took;
  }
}

EchoServer::EchoServer(std::uint16_t port, std::uint16_t replyPort)
    : fd_(BoundSocket(port)), replyPort_(replyPort) {
  thread_ = std::thread([this] {
    Datagram buffer(8192);
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
      if (got < 0) continue;
      from.sin_port = htons(replyPort_);
      sendto(fd_, buffer.data(), static_cast<std::size_t>(got), 0,
             reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
  });
}

EchoServer::~EchoServer() {
  stop_ = true;
  thread_.join();
  close(fd_);
}

}  // namespace varo::bench
