#include "UdpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <random>
#include <stdexcept>

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

std::uint16_t FreeUdpPort() {
  // Below the system's ephemeral range (32768 and up here), so a peer that binds port 0 in a test
  // running alongside cannot be given the port between this check and its use.
  static std::minstd_rand pick(static_cast<unsigned>(getpid()) * 7919u +
                               static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto port = static_cast<std::uint16_t>(20000 + pick() % 12000);
    try {
      UdpPeer probe(port, "0.0.0.0");
      return port;
    } catch (const std::runtime_error&) {
    }
  }
  UdpPeer probe;
  return probe.Port();
}

UdpPeer::UdpPeer(std::uint16_t port, const std::string& address) {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in sa = Address(address, port);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd_);
    throw std::runtime_error("bind failed for test peer");
  }
  socklen_t len = sizeof sa;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
}

UdpPeer::~UdpPeer() {
  close(fd_);
}

void UdpPeer::SendTo(std::uint16_t port, const Bytes& bytes, const std::string& address) {
  sockaddr_in sa = Address(address, port);
  if (sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa) !=
      static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("sendto failed");
  }
}

std::optional<Bytes> UdpPeer::Receive(std::chrono::milliseconds timeout) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  Bytes buffer(65536);
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const ssize_t n =
      recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return std::nullopt;
  lastSourcePort_ = ntohs(from.sin_port);
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

}  // namespace varo::test
