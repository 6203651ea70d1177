#include "archive/ColumnSums.h"

#include <vector>

#include <gtest/gtest.h>

#include "archive/ColumnRecord.h"

namespace varo {
namespace {

// Records of every byte value in varied places (a fixed pseudo-random sequence), followed by the
// read slack filled with bytes that must not count.
std::vector<std::uint8_t> VariedRecords(std::size_t count) {
  std::vector<std::uint8_t> bytes(count * ColumnRecordSize + ColumnReadSlack, 0xFF);
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < count * ColumnRecordSize; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

ColumnRecord RecordAt(const std::vector<std::uint8_t>& bytes, std::size_t i) {
  ColumnRecord record;
  for (std::size_t k = 0; k < ColumnRecordSize; ++k) record[k] = bytes[i * ColumnRecordSize + k];
  return record;
}

TEST(ColumnSums, EveryPathAddsWhatTheColumnsAddOneByOne) {
  for (std::size_t count : {0u, 1u, 2u, 3u, 1001u}) {
    const std::vector<std::uint8_t> bytes = VariedRecords(count);
    CombinationSums expectedToto, expectedGol;
    for (std::size_t i = 0; i < count; ++i) {
      const ColumnRecord record = RecordAt(bytes, i);
      const Combinations toto = ColumnCombinationsTotocalcio(record);
      const Combinations gol = ColumnCombinationsTotogol(record);
      expectedToto.Main += toto.Main;
      if (record[TotocalcioFlagByte] & SideFlagBit) expectedToto.Side += toto.Side;
      expectedGol.Main += gol.Main;
      expectedGol.Side += gol.Side;
    }

    CombinationSums toto, totoPortable, gol, golPortable;
    AddTotocalcioColumns(toto, bytes.data(), count);
    AddTotocalcioColumnsPortable(totoPortable, bytes.data(), count);
    AddTotogolColumns(gol, bytes.data(), count);
    AddTotogolColumnsPortable(golPortable, bytes.data(), count);
    for (const CombinationSums& sums : {toto, totoPortable}) {
      EXPECT_EQ(sums.Main, expectedToto.Main) << count;
      EXPECT_EQ(sums.Side, expectedToto.Side) << count;
    }
    for (const CombinationSums& sums : {gol, golPortable}) {
      EXPECT_EQ(sums.Main, expectedGol.Main) << count;
      EXPECT_EQ(sums.Side, expectedGol.Side) << count;
    }
  }
}

TEST(ColumnSums, AddToWhatTheSumsHeldAndWrapModulo32Bits) {
  // Fourteen four-sign matches, flagged in byte 0: 2^28 main and side combinations for Totogol.
  std::vector<std::uint8_t> bytes(ColumnRecordSize + ColumnReadSlack, 0x0F);
  bytes[0] = 0x8F;
  for (auto add : {AddTotogolColumns, AddTotogolColumnsPortable}) {
    CombinationSums sums{0xF0000000u, 0xFFFFFFFFu};
    add(sums, bytes.data(), 1);
    EXPECT_EQ(sums.Main, 0x00000000u);
    EXPECT_EQ(sums.Side, 0x0FFFFFFFu);
  }
}

}  // namespace
}  // namespace varo
