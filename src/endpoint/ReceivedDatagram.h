// One datagram as the listener received it, with its sender.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varo {

struct ReceivedDatagram {
  std::vector<std::uint8_t> Bytes;
  std::uint32_t SenderAddress = 0;       // IPv4, network byte order; the reply goes here
  std::uint16_t SenderPort = 0;          // recorded, never used for the reply
  std::uint32_t DestinationAddress = 0;  // IPv4, network byte order; the address it was sent to

  // The sender's address as dotted-decimal text.
  std::string SenderText() const;
};

// An IPv4 address held in network byte order, as dotted-decimal text.
std::string DottedQuad(std::uint32_t networkOrder);

// Whether the datagram is a reply of this server come back to its own input port: sent from the
// input port by this host (a loopback source, or a source equal to the destination). Handling it
// would answer it again, forever, when the output port equals the input port.
bool IsOwnReply(const ReceivedDatagram& datagram, std::int32_t inputPort);

}  // namespace varo
