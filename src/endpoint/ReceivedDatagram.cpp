#include "ReceivedDatagram.h"

#include <arpa/inet.h>

namespace varo {

std::string ReceivedDatagram::SenderText() const {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{};
  address.s_addr = SenderAddress;
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

bool IsOwnReply(const ReceivedDatagram& datagram, std::int32_t inputPort) {
  if (datagram.SenderPort != inputPort) return false;
  const std::uint32_t sender = ntohl(datagram.SenderAddress);
  const bool loopback = (sender >> 24) == 127;
  return loopback || datagram.SenderAddress == datagram.DestinationAddress;
}

}  // namespace varo
