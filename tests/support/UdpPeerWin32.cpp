// The test peer's socket calls on Windows.
// windows.h without its old winsock.h, then winsock2.h and the headers that build on it.
#include "platform/win32/Windows.h"
#include <winsock2.h>

#include <ws2tcpip.h>

#include <mswsock.h>

#include <stdexcept>

#include "UdpPeer.h"

namespace varo::test {

namespace {

void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

sockaddr_in Address(const std::string& address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    throw std::runtime_error("bad address " + address);
  }
  return sa;
}

SOCKET Handle(std::intptr_t socket) {
  return static_cast<SOCKET>(socket);
}

}  // namespace

UdpPeer::UdpPeer(std::uint16_t port, const std::string& address) {
  StartWinsock();
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
  // A reply refused by a closed port must not fail this peer's next receive.
  BOOL off = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
  sockaddr_in sa = Address(address, port);
  if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    closesocket(s);
    throw std::runtime_error("bind failed for test peer");
  }
  int len = sizeof sa;
  getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  socket_ = static_cast<std::intptr_t>(s);
}

UdpPeer::~UdpPeer() {
  closesocket(Handle(socket_));
}

void UdpPeer::SendTo(std::uint16_t port, const Bytes& bytes, const std::string& address) {
  sockaddr_in sa = Address(address, port);
  if (sendto(Handle(socket_), reinterpret_cast<const char*>(bytes.data()),
             static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&sa),
             sizeof sa) != static_cast<int>(bytes.size())) {
    throw std::runtime_error("sendto failed");
  }
}

std::optional<Bytes> UdpPeer::Receive(std::chrono::milliseconds timeout) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Handle(socket_), &readable);
  timeval wait{static_cast<long>(timeout.count() / 1000),
               static_cast<long>(timeout.count() % 1000 * 1000)};
  if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return std::nullopt;
  Bytes buffer(65536);
  sockaddr_in from{};
  int len = sizeof from;
  const int n =
      recvfrom(Handle(socket_), reinterpret_cast<char*>(buffer.data()),
               static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return std::nullopt;
  lastSourcePort_ = ntohs(from.sin_port);
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

}  // namespace varo::test
