// The 2000-byte areas that hold a request's payload, its extra block and the reply's payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace varo {

inline constexpr std::size_t PayloadAreaSize = 2000;

using PayloadArea = std::array<std::uint8_t, PayloadAreaSize>;

}  // namespace varo
