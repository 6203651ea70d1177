// The test peer's socket calls on Linux.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "UdpPeer.h"

namespace varo::test {

namespace {

sockaddr_in Address(const std::string& address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    throw std::runtime_error("bad address " + address);
  }
  return sa;
}

}  // namespace

UdpPeer::UdpPeer(std::uint16_t port, const std::string& address) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in sa = Address(address, port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    throw std::runtime_error("bind failed for test peer");
  }
  socklen_t len = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  socket_ = fd;
}

UdpPeer::~UdpPeer() {
  close(static_cast<int>(socket_));
}

void UdpPeer::SendTo(std::uint16_t port, const Bytes& bytes, const std::string& address) {
  sockaddr_in sa = Address(address, port);
  if (sendto(static_cast<int>(socket_), bytes.data(), bytes.size(), 0,
             reinterpret_cast<sockaddr*>(&sa), sizeof sa) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("sendto failed");
  }
}

std::optional<Bytes> UdpPeer::Receive(std::chrono::milliseconds timeout) {
  pollfd p{static_cast<int>(socket_), POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  Bytes buffer(65536);
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const ssize_t n = recvfrom(static_cast<int>(socket_), buffer.data(), buffer.size(), 0,
                             reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return std::nullopt;
  lastSourcePort_ = ntohs(from.sin_port);
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

}  // namespace varo::test
