#include "RequestHeader.h"

#include <bit>

namespace varo {

namespace {

// The wire carries every 16-bit header field high byte first.
std::uint16_t WireToHostOrBack(std::uint16_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
  } else {
    return v;
  }
}

}  // namespace

void swapheader(RequestHeader& header) {
  header.EchoWord1 = WireToHostOrBack(header.EchoWord1);
  header.EchoWord3 = WireToHostOrBack(header.EchoWord3);
  header.EchoWord5 = WireToHostOrBack(header.EchoWord5);
  header.DataLength = WireToHostOrBack(header.DataLength);
  header.ExtraLength = WireToHostOrBack(header.ExtraLength);
  header.Command = WireToHostOrBack(header.Command);
}

}  // namespace varo
