// Windows: a Winsock 2 socket whose readiness sets an event, waited on together with a stop event.
#include "platform/DatagramSocket.h"

// windows.h without its old winsock.h, then winsock2.h and the headers that build on it.
#include "platform/win32/Windows.h"
#include <winsock2.h>

#include <ws2tcpip.h>

#include <mswsock.h>

#include <cstring>

namespace varo {

namespace {

// Winsock is started once for the process and left running until it ends.
bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

BindFailure FailureOf(int error) {
  switch (error) {
    case WSAEADDRINUSE:
      return BindFailure::InUse;
    case WSAEACCES:  // a port reserved by the system, or one another socket holds exclusively
      return BindFailure::NotPermitted;
    case WSAEMFILE:
    case WSAENOBUFS:
      return BindFailure::NoResources;
    default:
      return BindFailure::Other;
  }
}

}  // namespace

struct DatagramSocket::Handles {
  SOCKET Socket = INVALID_SOCKET;
  WSAEVENT Readable = WSA_INVALID_EVENT;  // set by Winsock when a datagram is waiting
  HANDLE Stop = nullptr;                  // manual reset: once set, every wait ends
  LPFN_WSARECVMSG ReceiveMessage = nullptr;

  Handles() = default;
  Handles(const Handles&) = delete;
  Handles& operator=(const Handles&) = delete;
  ~Handles() {
    if (Socket != INVALID_SOCKET) closesocket(Socket);
    if (Readable != WSA_INVALID_EVENT) WSACloseEvent(Readable);
    if (Stop != nullptr) CloseHandle(Stop);
  }
};

DatagramSocket::DatagramSocket() = default;

DatagramSocket::~DatagramSocket() {
  Close();
}

std::optional<BindFailure> DatagramSocket::Open(std::int32_t port) {
  Close();
  if (!IsPortNumber(port)) return BindFailure::InvalidPort;
  if (!WinsockStarted()) return BindFailure::Other;
  auto handles = std::make_unique<Handles>();
  // Not inherited: a child process must not keep the port.
  handles->Socket =
      WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (handles->Socket == INVALID_SOCKET) return FailureOf(WSAGetLastError());
  const SOCKET s = handles->Socket;

  // No other socket may share the port, as on Linux without SO_REUSEADDR. IP_PKTINFO tells each
  // datagram's destination address. Without switching SIO_UDP_CONNRESET off, an ICMP "port
  // unreachable" for an earlier reply would fail the next receive.
  const BOOL on = TRUE;
  const BOOL off = FALSE;
  DWORD returned = 0;
  GUID receiveMessageId = WSAID_WSARECVMSG;
  if (setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                 sizeof on) != 0 ||
      setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      WSAIoctl(s, SIO_UDP_CONNRESET, const_cast<BOOL*>(&off), sizeof off, nullptr, 0, &returned,
               nullptr, nullptr) != 0 ||
      WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &receiveMessageId, sizeof receiveMessageId,
               &handles->ReceiveMessage, sizeof handles->ReceiveMessage, &returned, nullptr,
               nullptr) != 0) {
    return BindFailure::Other;
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<u_short>(port));
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return FailureOf(WSAGetLastError());
  }

  handles->Readable = WSACreateEvent();
  handles->Stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // WSAEventSelect also makes the socket non-blocking, so a receive never waits outside the
  // wait of Receive, where the stop event can end it.
  if (handles->Readable == WSA_INVALID_EVENT || handles->Stop == nullptr ||
      WSAEventSelect(s, handles->Readable, FD_READ) != 0) {
    return BindFailure::Other;
  }

  sockaddr_in bound{};
  int boundLength = sizeof bound;
  getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLength);
  boundPort_ = ntohs(bound.sin_port);
  handles_ = std::move(handles);
  return std::nullopt;
}

ReceiveOutcome DatagramSocket::Receive(std::span<std::uint8_t> buffer, DatagramInfo& info,
                                       bool queuedOnly) {
  const SOCKET s = handles_->Socket;
  for (;;) {
    if (!queuedOnly && WaitForSingleObject(handles_->Stop, 0) == WAIT_OBJECT_0) {
      return ReceiveOutcome::Woken;
    }
    // The readiness event is reset before the receive is tried, so a datagram arriving after an
    // empty receive sets it again and the wait below ends.
    WSANETWORKEVENTS recorded;
    WSAEnumNetworkEvents(s, handles_->Readable, &recorded);

    sockaddr_in from{};
    WSABUF data{static_cast<ULONG>(buffer.size()), reinterpret_cast<CHAR*>(buffer.data())};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
    WSAMSG message{};
    message.name = reinterpret_cast<LPSOCKADDR>(&from);
    message.namelen = sizeof from;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control.len = sizeof control;
    message.Control.buf = control;
    DWORD received = 0;
    if (handles_->ReceiveMessage(s, &message, &received, nullptr, nullptr) == 0) {
      // A datagram longer than the buffer is cut by the system; it is flagged, and dropped here.
      if (message.dwFlags & MSG_TRUNC) return ReceiveOutcome::Dropped;
      info = DatagramInfo{};
      info.Length = received;
      info.SenderAddress = from.sin_addr.s_addr;
      info.SenderPort = ntohs(from.sin_port);
      for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c != nullptr;
           c = WSA_CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
          IN_PKTINFO packet;
          std::memcpy(&packet, WSA_CMSG_DATA(c), sizeof packet);
          info.DestinationAddress = packet.ipi_addr.s_addr;
        }
      }
      return ReceiveOutcome::Datagram;
    }
    // WSAEMSGSIZE: the oversized datagram has been read and discarded.
    if (WSAGetLastError() != WSAEWOULDBLOCK) return ReceiveOutcome::Dropped;
    if (queuedOnly) return ReceiveOutcome::Woken;  // none is left

    HANDLE waits[2] = {handles_->Stop, handles_->Readable};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_FAILED) {
      return ReceiveOutcome::Dropped;
    }
  }
}

void DatagramSocket::Wake() {
  SetEvent(handles_->Stop);
}

void DatagramSocket::SendTo(std::uint32_t address, std::uint16_t port,
                            std::span<const std::uint8_t> bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  sendto(handles_->Socket, reinterpret_cast<const char*>(bytes.data()),
         static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void DatagramSocket::Close() {
  handles_.reset();
  boundPort_ = 0;
}

}  // namespace varo
