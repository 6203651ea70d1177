// One played column of a system file and the number of combinations it stands for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace varo {

// Byte k holds the signs chosen for match k+1: bits 0 to 3 the signs, bit 7 of the game's flag byte
// the side flag.
using ColumnRecord = std::array<std::uint8_t, 14>;

inline constexpr std::size_t ColumnRecordSize = 14;
inline constexpr std::size_t TotocalcioFlagByte = 8;
inline constexpr std::size_t TotogolFlagByte = 0;
inline constexpr std::uint8_t SideFlagBit = 0x80;

// Number of signs chosen in a byte: the set bits among bits 0 to 3.
int SignCount(std::uint8_t signs);

struct Combinations {
  std::uint32_t Main;
  std::uint32_t Side;
};

// Totocalcio: 2 per double and 3 per triple, over all 14 matches (main) and the first 9 (side).
Combinations ColumnCombinationsTotocalcio(const ColumnRecord& column);

// Totogol: 2, 3 and 4 per match with that many signs (main); side equals main when the column is
// flagged, else 0.
Combinations ColumnCombinationsTotogol(const ColumnRecord& column);

}  // namespace varo
