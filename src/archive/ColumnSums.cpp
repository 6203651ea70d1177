#include "ColumnSums.h"

#include "archive/ColumnArithmetic.h"
#include "archive/ColumnRecord.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VARO_VECTOR_COLUMN_SUMS 1
#include <immintrin.h>
#endif

namespace varo {

void AddTotocalcioColumnsPortable(CombinationSums& sums, const std::uint8_t* records,
                                  std::size_t count) {
  const GameArithmetic& game = TotocalcioArithmetic();
  std::uint32_t main = sums.Main;
  std::uint32_t side = sums.Side;
  for (std::size_t i = 0; i < count; ++i, records += ColumnRecordSize) {
    const std::uint32_t firstEight = WeightOfFirstEight(game, records);
    main += game.Power[firstEight + WeightOfLastSix(game, records)];
    side += game.Power[firstEight + game.SideIndexOffset[records[TotocalcioFlagByte]]];
  }
  sums.Main = main;
  sums.Side = side;
}

void AddTotogolColumnsPortable(CombinationSums& sums, const std::uint8_t* records,
                               std::size_t count) {
  const GameArithmetic& game = TotogolArithmetic();
  std::uint32_t main = sums.Main;
  std::uint32_t side = sums.Side;
  for (std::size_t i = 0; i < count; ++i, records += ColumnRecordSize) {
    const std::uint32_t all = WeightOfFirstEight(game, records) + WeightOfLastSix(game, records);
    main += game.Power[all];
    side += game.Power[all + game.SideIndexOffset[records[TotogolFlagByte]]];
  }
  sums.Main = main;
  sums.Side = side;
}

#ifdef VARO_VECTOR_COLUMN_SUMS

namespace {

// One record per step: its sign bits select their weights by a 16-byte shuffle, and a sum of
// absolute differences adds bytes 0-7 and 8-13 (bytes 14 and 15 belong to the next record and
// are masked to sign bits 0, weight 0).
template <bool SideOfFirstNine, std::size_t FlagByte>
__attribute__((target("ssse3"))) void AddColumnsVector(const GameArithmetic& game,
                                                       CombinationSums& sums,
                                                       const std::uint8_t* records,
                                                       std::size_t count) {
  const __m128i weights =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(game.NibbleWeight.data()));
  const __m128i signBits = _mm_set_epi8(0, 0, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,
                                        0x0F, 0x0F, 0x0F, 0x0F, 0x0F);
  const __m128i zero = _mm_setzero_si128();
  std::uint32_t main = sums.Main;
  std::uint32_t side = sums.Side;
  for (std::size_t i = 0; i < count; ++i, records += ColumnRecordSize) {
    const __m128i column = _mm_loadu_si128(reinterpret_cast<const __m128i*>(records));
    const __m128i halves =
        _mm_sad_epu8(_mm_shuffle_epi8(weights, _mm_and_si128(column, signBits)), zero);
    const auto firstEight = static_cast<std::uint32_t>(_mm_cvtsi128_si32(halves));
    const std::uint32_t all = firstEight + static_cast<std::uint32_t>(_mm_extract_epi16(halves, 4));
    main += game.Power[all];
    side +=
        game.Power[(SideOfFirstNine ? firstEight : all) + game.SideIndexOffset[records[FlagByte]]];
  }
  sums.Main = main;
  sums.Side = side;
}

bool DetectVectorColumnSums() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3");
}

}  // namespace

bool HasVectorColumnSums() {
  static const bool available = DetectVectorColumnSums();
  return available;
}

void AddTotocalcioColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count) {
  if (!HasVectorColumnSums()) return AddTotocalcioColumnsPortable(sums, records, count);
  AddColumnsVector<true, TotocalcioFlagByte>(TotocalcioArithmetic(), sums, records, count);
}

void AddTotogolColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count) {
  if (!HasVectorColumnSums()) return AddTotogolColumnsPortable(sums, records, count);
  AddColumnsVector<false, TotogolFlagByte>(TotogolArithmetic(), sums, records, count);
}

#else

bool HasVectorColumnSums() {
  return false;
}

void AddTotocalcioColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count) {
  AddTotocalcioColumnsPortable(sums, records, count);
}

void AddTotogolColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count) {
  AddTotogolColumnsPortable(sums, records, count);
}

#endif

}  // namespace varo
