#include "ReceivedDatagram.h"

#include <array>
#include <cstring>

namespace varo {

namespace {

// The four bytes of an address held in network byte order, first byte first.
std::array<std::uint8_t, 4> AddressBytes(std::uint32_t networkOrder) {
  std::array<std::uint8_t, 4> bytes;
  std::memcpy(bytes.data(), &networkOrder, bytes.size());
  return bytes;
}

}  // namespace

std::string DottedQuad(std::uint32_t networkOrder) {
  const auto b = AddressBytes(networkOrder);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

std::string ReceivedDatagram::SenderText() const {
  return DottedQuad(SenderAddress);
}

bool IsOwnReply(const ReceivedDatagram& datagram, std::int32_t inputPort) {
  if (datagram.SenderPort != inputPort) return false;
  const bool loopback = AddressBytes(datagram.SenderAddress)[0] == 127;
  return loopback || datagram.SenderAddress == datagram.DestinationAddress;
}

}  // namespace varo
