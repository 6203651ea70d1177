// The 20-byte name field with which a system file goes out on the wire.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace varo {

inline constexpr std::size_t WireNameSize = 20;

// The file name in the clients' code page, cut to 20 bytes or padded with blanks (0x20).
std::array<std::uint8_t, WireNameSize> WireName(std::string_view fileName);

}  // namespace varo
