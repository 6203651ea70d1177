// The one rule by which texts become signed 32-bit integers: codes in file names and port numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace varo {

// Leading blanks, an optional sign, then decimal digits or "$", "x", "X", "0x", "0X" and
// hexadecimal digits, and nothing after; a hexadecimal pattern of 32 bits is taken as a signed
// number. Returns nothing when the text is not such an integer.
std::optional<std::int32_t> ParseInteger(std::string_view text);

}  // namespace varo
