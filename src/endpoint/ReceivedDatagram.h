// One datagram as the listener received it, with its sender.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varo {

struct ReceivedDatagram {
  std::vector<std::uint8_t> Bytes;
  std::uint32_t SenderAddress = 0;  // IPv4, network byte order; the reply goes here
  std::uint16_t SenderPort = 0;     // recorded, never used for the reply

  // The sender's address as dotted-decimal text.
  std::string SenderText() const;
};

}  // namespace varo
