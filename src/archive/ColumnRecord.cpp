#include "ColumnRecord.h"

#include "archive/ColumnArithmetic.h"

namespace varo {

namespace {

enum class Game { Totocalcio, Totogol };

std::uint32_t WeightOf(Game game, std::uint8_t signs) {
  switch (SignCount(signs)) {
    case 2:
      return 1 << 4;
    case 3:
      return 1;
    case 4:
      // Totocalcio knows no fourth sign: such a match adds no combinations there.
      return game == Game::Totogol ? 2 << 4 : 0;
    default:
      return 0;
  }
}

GameArithmetic BuildArithmetic(Game game) {
  GameArithmetic tables{};
  for (unsigned b = 0; b < 256; ++b)
    tables.ByteWeight[b] = WeightOf(game, static_cast<std::uint8_t>(b));
  for (unsigned n = 0; n < 16; ++n)
    tables.NibbleWeight[n] = static_cast<std::uint8_t>(tables.ByteWeight[n]);
  for (unsigned pair = 0; pair < tables.PairWeight.size(); ++pair) {
    tables.PairWeight[pair] = tables.ByteWeight[pair & 0xFF] + tables.ByteWeight[pair >> 8];
  }
  std::uint32_t powerOfTwo = 1;
  for (unsigned e2 = 0; e2 < 29; ++e2, powerOfTwo *= 2) {
    std::uint32_t value = powerOfTwo;
    for (unsigned e3 = 0; e3 < 16; ++e3, value *= 3) tables.Power[(e2 << 4) | e3] = value;
  }
  for (unsigned b = 0; b < 256; ++b) {
    const std::uint32_t unflagged = (b & SideFlagBit) != 0 ? 0 : UnflaggedOffset;
    // Only Totocalcio's side counts the flag byte's own signs (the first nine matches).
    tables.SideIndexOffset[b] = unflagged + (game == Game::Totocalcio ? tables.ByteWeight[b] : 0);
  }
  return tables;
}

}  // namespace

const GameArithmetic& TotocalcioArithmetic() {
  static const GameArithmetic tables = BuildArithmetic(Game::Totocalcio);
  return tables;
}

const GameArithmetic& TotogolArithmetic() {
  static const GameArithmetic tables = BuildArithmetic(Game::Totogol);
  return tables;
}

int SignCount(std::uint8_t signs) {
  const unsigned low = signs & 0x0Fu;
  return static_cast<int>((low & 1u) + ((low >> 1) & 1u) + ((low >> 2) & 1u) + ((low >> 3) & 1u));
}

Combinations ColumnCombinationsTotocalcio(const ColumnRecord& column) {
  const GameArithmetic& game = TotocalcioArithmetic();
  const std::uint32_t firstNine =
      WeightOfFirstEight(game, column.data()) + game.ByteWeight[column[8]];
  const std::uint32_t all =
      WeightOfFirstEight(game, column.data()) + WeightOfLastSix(game, column.data());
  return Combinations{game.Power[all], game.Power[firstNine]};
}

Combinations ColumnCombinationsTotogol(const ColumnRecord& column) {
  const GameArithmetic& game = TotogolArithmetic();
  const std::uint32_t all =
      WeightOfFirstEight(game, column.data()) + WeightOfLastSix(game, column.data());
  const std::uint32_t main = game.Power[all];
  return Combinations{main, (column[TotogolFlagByte] & SideFlagBit) != 0 ? main : 0u};
}

}  // namespace varo
