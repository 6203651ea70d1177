// Table-driven combination arithmetic shared by single columns and whole-file summaries.
#pragma once

#include <array>
#include <cstdint>

namespace varo {

// A column's combinations are 2^e2 * 3^e3 (a 4-sign match counts as 2^2). Each byte gets a weight
// (e2 << 4) | e3; since e3 never exceeds 14 the weights of a column simply add up.
struct GameArithmetic {
  std::array<std::uint32_t, 256> ByteWeight;
  std::array<std::uint8_t, 16> NibbleWeight;  // the weight of each value of the sign bits
  // Indexed by the sign bits of two neighbouring bytes, (byte 2k | byte 2k+1 << 8) & 0x0F0F: only
  // the sign bits count, and so the table stays small enough to be read from the nearest cache.
  std::array<std::uint32_t, 0x0F10> PairWeight;
  // What the game's flag byte adds to the index of a column's side combinations: its own weight
  // where it counts (Totocalcio), plus UnflaggedOffset when the column is not flagged, which
  // lands the index in the zero half of Power. So side sums need no branch and no masking.
  std::array<std::uint32_t, 256> SideIndexOffset;
  std::array<std::uint32_t, 1024> Power;  // 2^e2 * 3^e3 at (e2 << 4) | e3 below 512, else 0
};

inline constexpr std::uint32_t UnflaggedOffset = 512;

// The tables of each game, built on first use.
const GameArithmetic& TotocalcioArithmetic();
const GameArithmetic& TotogolArithmetic();

inline std::uint32_t PairWeightAt(const GameArithmetic& game, const std::uint8_t* bytes) {
  return game.PairWeight[(static_cast<std::uint32_t>(bytes[0]) |
                          (static_cast<std::uint32_t>(bytes[1]) << 8)) &
                         0x0F0Fu];
}

// Weight of the first eight bytes of a column.
inline std::uint32_t WeightOfFirstEight(const GameArithmetic& game, const std::uint8_t* column) {
  return PairWeightAt(game, column) + PairWeightAt(game, column + 2) +
         PairWeightAt(game, column + 4) + PairWeightAt(game, column + 6);
}

// Weight of the last six bytes of a column.
inline std::uint32_t WeightOfLastSix(const GameArithmetic& game, const std::uint8_t* column) {
  return PairWeightAt(game, column + 8) + PairWeightAt(game, column + 10) +
         PairWeightAt(game, column + 12);
}

}  // namespace varo
