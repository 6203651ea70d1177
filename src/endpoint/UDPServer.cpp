#include "UDPServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>

namespace varo {

namespace {

// The largest datagram the endpoint accepts; a longer one is detected and dropped.
constexpr std::size_t ReceiveBufferSize = 8192;

bool IsPort(std::int32_t port) {
  return port >= 0 && port <= 65535;
}

}  // namespace

UDPServer::UDPServer(MainThreadHandOver& handOver, ReadEvent onRead)
    : handOver_(handOver),
      onRead_(std::move(onRead)),
      startListener_([](std::function<void()> body) { return std::thread(std::move(body)); }) {}

UDPServer::~UDPServer() {
  Deactivate();
}

void UDPServer::Activate() {
  if (Active()) return;
  // A port outside 16 bits is refused, never cut to a port that happens to be free.
  if (!IsPort(inputPort_)) throw BindError(BindFailure::InvalidPort);
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw BindError();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<std::uint16_t>(inputPort_));
  // The destination address of each datagram tells the server's own replies from requests.
  const int on = 1;
  int wake[2];
  if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int cause = errno;
    close(fd);
    throw BindError(cause == EADDRINUSE ? BindFailure::InUse
                    : cause == EACCES   ? BindFailure::NotPermitted
                                        : BindFailure::Other);
  }
  // Port 0 binds a port the system picks; the listener compares with the one actually bound.
  sockaddr_in bound{};
  socklen_t boundLength = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
  const std::uint16_t boundPort = ntohs(bound.sin_port);
  socket_ = fd;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  stopping_ = false;
  listenerEnded_ = false;
  try {
    listener_ = startListener_([this, boundPort] { Listen(boundPort); });
  } catch (const std::system_error& error) {
    // Without a listener nothing would ever end, and Deactivate would wait for it forever.
    listenerEnded_ = true;
    CloseAll();
    throw std::system_error(error.code(), "cannot start the request listener");
  }
}

void UDPServer::Deactivate() {
  if (!Active()) return;
  stopping_ = true;
  // Closing a socket does not wake a blocked receive here; the wake-up pipe does.
  const char wake = 1;
  [[maybe_unused]] const ssize_t ignored = write(wakeWrite_, &wake, 1);
  // The listener may be waiting for the main thread (this one) to handle a datagram.
  while (!listenerEnded_) {
    handOver_.ServePending();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  listener_.join();
  CloseAll();
}

void UDPServer::CloseAll() {
  close(socket_);
  close(wakeRead_);
  close(wakeWrite_);
  socket_ = wakeRead_ = wakeWrite_ = -1;
}

void UDPServer::SendReply(const ReceivedDatagram& request, std::int32_t outputPort,
                          std::span<const std::uint8_t> reply) {
  if (!Active() || stopping_ || !IsPort(outputPort)) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = request.SenderAddress;
  to.sin_port = htons(static_cast<std::uint16_t>(outputPort));
  // A reply that cannot be sent is dropped; the request has been served all the same.
  sendto(socket_, reply.data(), reply.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
         sizeof to);
}

void UDPServer::Listen(std::uint16_t boundPort) {
  std::vector<std::uint8_t> buffer(ReceiveBufferSize);
  while (!stopping_) {
    pollfd waits[2] = {{socket_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) continue;
    if (stopping_ || (waits[1].revents & POLLIN)) break;
    if (!(waits[0].revents & POLLIN)) continue;

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
    const ssize_t received = recvmsg(socket_, &message, MSG_TRUNC | MSG_DONTWAIT);
    if (received < 0 || static_cast<std::size_t>(received) > ReceiveBufferSize) continue;

    ReceivedDatagram datagram;
    datagram.SenderAddress = from.sin_addr.s_addr;
    datagram.SenderPort = ntohs(from.sin_port);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        datagram.DestinationAddress = info.ipi_addr.s_addr;
      }
    }
    // Dropped here, before any handler or log line: answering it would answer itself forever.
    if (IsOwnReply(datagram, boundPort)) continue;
    datagram.Bytes.assign(buffer.begin(), buffer.begin() + received);

    std::exception_ptr failure;
    handOver_.RunOnMainThread([&] {
      try {
        if (onRead_) onRead_(datagram);
      } catch (...) {
        failure = std::current_exception();
      }
    });
    // An error of the main thread ends only its own request: no reply, next datagram.
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (...) {
    }
  }
  listenerEnded_ = true;
}

}  // namespace varo
