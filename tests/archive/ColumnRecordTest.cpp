#include "archive/ColumnRecord.h"

#include <gtest/gtest.h>

namespace varo {
namespace {

ColumnRecord Uniform(std::uint8_t byte) {
  ColumnRecord column;
  column.fill(byte);
  return column;
}

TEST(SignCount, CountsSignBitsZeroToThreeOnly) {
  EXPECT_EQ(SignCount(0x00), 0);
  for (std::uint8_t single : {0x01, 0x02, 0x04, 0x08})
    EXPECT_EQ(SignCount(single), 1) << int(single);
  EXPECT_EQ(SignCount(0x03), 2);
  EXPECT_EQ(SignCount(0x09), 2);
  EXPECT_EQ(SignCount(0x07), 3);
  EXPECT_EQ(SignCount(0x0F), 4);
  EXPECT_EQ(SignCount(0x80), 0);
  EXPECT_EQ(SignCount(0x83), 2);
  EXPECT_EQ(SignCount(0x70), 0);
  EXPECT_EQ(SignCount(0xFF), 4);
}

TEST(ColumnCombinationsTotocalcio, MultipliesTwoPerDoubleAndThreePerTriple) {
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x07)).Main, 4782969u);  // 3^14
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x07)).Side, 19683u);    // 3^9
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x03)).Main, 16384u);    // 2^14
  // Four signs in a match are no Totocalcio sign set: such a match adds nothing.
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x0F)).Main, 1u);
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x01)).Main, 1u);
  EXPECT_EQ(ColumnCombinationsTotocalcio(Uniform(0x00)).Main, 1u);

  ColumnRecord flagged = Uniform(0x07);
  flagged[8] = 0x87;  // the flag does not change the signs of match 9
  EXPECT_EQ(ColumnCombinationsTotocalcio(flagged).Main, 4782969u);
  EXPECT_EQ(ColumnCombinationsTotocalcio(flagged).Side, 19683u);

  ColumnRecord lateTriples = Uniform(0x01);
  lateTriples[8] = 0x80;
  for (int k = 9; k < 14; ++k) lateTriples[k] = 0x07;
  EXPECT_EQ(ColumnCombinationsTotocalcio(lateTriples).Main, 243u);  // 3^5
  EXPECT_EQ(ColumnCombinationsTotocalcio(lateTriples).Side, 1u);

  ColumnRecord mixed = Uniform(0x01);
  mixed[0] = 0x03;                                           // double
  mixed[5] = 0x0E;                                           // triple (bits 1, 2, 3)
  mixed[8] = 0x85;                                           // double, flagged
  mixed[9] = 0x06;                                           // double, outside the first nine
  mixed[13] = 0x0B;                                          // triple
  EXPECT_EQ(ColumnCombinationsTotocalcio(mixed).Main, 72u);  // 2*3*2*2*3
  EXPECT_EQ(ColumnCombinationsTotocalcio(mixed).Side, 12u);  // 2*3*2
}

TEST(ColumnCombinationsTotogol, MultipliesTwoThreeAndFourAndSidesOnlyFlaggedColumns) {
  EXPECT_EQ(ColumnCombinationsTotogol(Uniform(0x0F)).Main, 268435456u);  // 4^14
  EXPECT_EQ(ColumnCombinationsTotogol(Uniform(0x0F)).Side, 0u);
  EXPECT_EQ(ColumnCombinationsTotogol(Uniform(0x07)).Main, 4782969u);

  ColumnRecord column = Uniform(0x01);
  column[0] = 0x83;
  EXPECT_EQ(ColumnCombinationsTotogol(column).Main, 2u);
  EXPECT_EQ(ColumnCombinationsTotogol(column).Side, 2u);
  column[0] = 0x03;
  EXPECT_EQ(ColumnCombinationsTotogol(column).Side, 0u);
  column[8] = 0x81;  // the Totocalcio flag byte means nothing here
  EXPECT_EQ(ColumnCombinationsTotogol(column).Side, 0u);

  ColumnRecord mixed = Uniform(0x00);
  mixed[0] = 0x8F;                                        // four signs, flagged
  mixed[1] = 0x07;                                        // three
  mixed[2] = 0x05;                                        // two
  mixed[3] = 0x0F;                                        // four
  mixed[4] = 0x71;                                        // one: bits 4 to 6 are no signs
  EXPECT_EQ(ColumnCombinationsTotogol(mixed).Main, 96u);  // 4*3*2*4
  EXPECT_EQ(ColumnCombinationsTotogol(mixed).Side, 96u);
}

}  // namespace
}  // namespace varo
