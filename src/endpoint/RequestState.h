// The request state that the main window owns for the whole process and every handler works on.
#pragma once

#include <cstdint>

#include "protocol/PayloadArea.h"
#include "protocol/RequestHeader.h"

namespace varo {

struct RequestState {
  RequestHeader Request{};  // header of the current request, host order
  RequestHeader Reply{};    // header of the reply being built, host order
  PayloadArea RequestPayload{};
  PayloadArea ExtraBlock{};
  PayloadArea ReplyPayload{};
  std::int32_t OutputPort = 7000;   // read afresh at every send
  std::uint32_t SenderAddress = 0;  // of the current request: IPv4, network byte order
  std::uint16_t SenderPort = 0;     // of the current request
};

}  // namespace varo
