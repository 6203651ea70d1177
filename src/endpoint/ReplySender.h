// Where a finished reply goes: the endpoint's socket, or a capture in tests and fuzzing.
#pragma once

#include <cstdint>
#include <span>

#include "ReceivedDatagram.h"

namespace varo {

class ReplySender {
 public:
  virtual ~ReplySender() = default;
  // Sends the reply to the request's sender address at outputPort; failures are dropped silently.
  virtual void SendReply(const ReceivedDatagram& request, std::int32_t outputPort,
                         std::span<const std::uint8_t> reply) = 0;
};

}  // namespace varo
