// Linux: a UDP socket received from in blocking calls; the wake-up shuts its receiving side down.
#include "platform/DatagramSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace varo {

struct DatagramSocket::Handles {
  int Socket = -1;
  std::atomic<bool> Woken{false};
};

DatagramSocket::DatagramSocket() = default;

DatagramSocket::~DatagramSocket() {
  Close();
}

std::optional<BindFailure> DatagramSocket::Open(std::int32_t port) {
  Close();
  if (!IsPortNumber(port)) return BindFailure::InvalidPort;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    const bool exhausted = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
    return exhausted ? BindFailure::NoResources : BindFailure::Other;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  // No SO_REUSEADDR: a port another socket holds fails to bind. IP_PKTINFO tells each datagram's
  // destination address.
  const int on = 1;
  if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int cause = errno;
    close(fd);
    return cause == EADDRINUSE ? BindFailure::InUse
           : cause == EACCES   ? BindFailure::NotPermitted
                               : BindFailure::Other;
  }
  sockaddr_in bound{};
  socklen_t boundLength = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
  boundPort_ = ntohs(bound.sin_port);
  handles_ = std::make_unique<Handles>();
  handles_->Socket = fd;
  return std::nullopt;
}

ReceiveOutcome DatagramSocket::Receive(std::span<std::uint8_t> buffer, DatagramInfo& info,
                                       bool queuedOnly) {
  if (handles_->Woken && !queuedOnly) return ReceiveOutcome::Woken;
  sockaddr_in from{};
  iovec data{buffer.data(), buffer.size()};
  alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  // MSG_TRUNC makes the kernel report the datagram's real length, so an oversized one is seen.
  // One call a datagram: no wait on anything else first.
  const ssize_t received =
      recvmsg(handles_->Socket, &message, MSG_TRUNC | (queuedOnly ? MSG_DONTWAIT : 0));
  if (queuedOnly) {
    // Nothing left: the queue is empty, or, once woken, the socket reads as ended; a datagram
    // always names its sender.
    if (received < 0 && errno != EINTR && errno != EMSGSIZE) return ReceiveOutcome::Woken;
    if (received >= 0 && message.msg_namelen == 0) return ReceiveOutcome::Woken;
  } else if (handles_->Woken) {
    // A receive the wake-up ended returns like an empty datagram would: the flag tells them apart.
    return ReceiveOutcome::Woken;
  }
  if (received < 0 || static_cast<std::size_t>(received) > buffer.size()) {
    return ReceiveOutcome::Dropped;
  }
  info = DatagramInfo{};
  info.Length = static_cast<std::size_t>(received);
  info.SenderAddress = from.sin_addr.s_addr;
  info.SenderPort = ntohs(from.sin_port);
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo packet;
      std::memcpy(&packet, CMSG_DATA(c), sizeof packet);
      info.DestinationAddress = packet.ipi_addr.s_addr;
    }
  }
  return ReceiveOutcome::Datagram;
}

void DatagramSocket::Wake() {
  // Closing a socket does not wake a receive blocked on it here. Shutting its receiving side down
  // does (the call reports ENOTCONN on an unconnected socket, and wakes it all the same), and every
  // later receive returns at once; sending stays possible.
  handles_->Woken = true;
  shutdown(handles_->Socket, SHUT_RD);
}

void DatagramSocket::SendTo(std::uint32_t address, std::uint16_t port,
                            std::span<const std::uint8_t> bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  // MSG_NOSIGNAL: a failed send must never end the process.
  sendto(handles_->Socket, bytes.data(), bytes.size(), MSG_NOSIGNAL,
         reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void DatagramSocket::Close() {
  if (!handles_) return;
  close(handles_->Socket);
  handles_.reset();
  boundPort_ = 0;
}

}  // namespace varo
