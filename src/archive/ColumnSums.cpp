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

// Weight sums of a record's bytes 0-7 and 0-13: its sign bits select their weights by a 16-byte
// shuffle, and a sum of absolute differences adds the halves (bytes 14 and 15 belong to the next
// record; masked to sign bits 0 they weigh 0).
struct RecordWeights {
  std::uint32_t FirstEight;
  std::uint32_t All;
};

__attribute__((target("ssse3"))) inline RecordWeights WeighRecord(const std::uint8_t* record,
                                                                  __m128i weights) {
  const __m128i signBits = _mm_set_epi8(0, 0, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,
                                        0x0F, 0x0F, 0x0F, 0x0F, 0x0F);
  const __m128i column = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record));
  const __m128i halves =
      _mm_sad_epu8(_mm_shuffle_epi8(weights, _mm_and_si128(column, signBits)), _mm_setzero_si128());
  const auto firstEight = static_cast<std::uint32_t>(_mm_cvtsi128_si32(halves));
  return {firstEight, firstEight + static_cast<std::uint32_t>(_mm_extract_epi16(halves, 4))};
}

// Two records per step, each into its own sums, so that neither waits for the other.
template <bool SideOfFirstNine, std::size_t FlagByte>
__attribute__((target("ssse3"))) void AddColumnsVector(const GameArithmetic& game,
                                                       CombinationSums& sums,
                                                       const std::uint8_t* records,
                                                       std::size_t count) {
  const __m128i weights =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(game.NibbleWeight.data()));
  std::uint32_t main0 = sums.Main, main1 = 0;
  std::uint32_t side0 = sums.Side, side1 = 0;
  auto sideIndex = [](const RecordWeights& w, std::uint32_t flagOffset) {
    return (SideOfFirstNine ? w.FirstEight : w.All) + flagOffset;
  };
  std::size_t i = 0;
  for (; i + 2 <= count; i += 2, records += 2 * ColumnRecordSize) {
    const RecordWeights w0 = WeighRecord(records, weights);
    const RecordWeights w1 = WeighRecord(records + ColumnRecordSize, weights);
    main0 += game.Power[w0.All];
    main1 += game.Power[w1.All];
    side0 += game.Power[sideIndex(w0, game.SideIndexOffset[records[FlagByte]])];
    side1 += game.Power[sideIndex(w1, game.SideIndexOffset[records[ColumnRecordSize + FlagByte]])];
  }
  if (i < count) {
    const RecordWeights w = WeighRecord(records, weights);
    main0 += game.Power[w.All];
    side0 += game.Power[sideIndex(w, game.SideIndexOffset[records[FlagByte]])];
  }
  sums.Main = main0 + main1;
  sums.Side = side0 + side1;
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
