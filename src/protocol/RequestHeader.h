// The 23-byte header that opens every request and every reply datagram.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varo {

#pragma pack(push, 1)
struct RequestHeader {
  std::uint8_t EchoByte0;
  std::uint16_t EchoWord1;
  std::uint16_t EchoWord3;
  std::uint16_t EchoWord5;
  std::uint8_t EchoByte7;
  std::uint16_t DataLength;
  std::uint16_t ExtraLength;
  std::uint8_t EchoByte12;
  std::uint8_t EchoBytes13[6];
  std::uint8_t EchoByte19;
  std::uint16_t Command;
  std::uint8_t SubCommand;
};
#pragma pack(pop)

inline constexpr std::size_t RequestHeaderSize = 23;

static_assert(sizeof(RequestHeader) == RequestHeaderSize);
static_assert(offsetof(RequestHeader, EchoByte0) == 0);
static_assert(offsetof(RequestHeader, EchoWord1) == 1);
static_assert(offsetof(RequestHeader, EchoWord3) == 3);
static_assert(offsetof(RequestHeader, EchoWord5) == 5);
static_assert(offsetof(RequestHeader, EchoByte7) == 7);
static_assert(offsetof(RequestHeader, DataLength) == 8);
static_assert(offsetof(RequestHeader, ExtraLength) == 10);
static_assert(offsetof(RequestHeader, EchoByte12) == 12);
static_assert(offsetof(RequestHeader, EchoBytes13) == 13);
static_assert(offsetof(RequestHeader, EchoByte19) == 19);
static_assert(offsetof(RequestHeader, Command) == 20);
static_assert(offsetof(RequestHeader, SubCommand) == 22);

// Converts a header in place between wire order and host order (the same operation both ways).
void swapheader(RequestHeader& header);

}  // namespace varo
