#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocol/Codecs.h"
#include "protocol/RequestHeader.h"

namespace varo {
namespace {

std::vector<std::uint8_t> Bytes(const PayloadArea& area, std::size_t p, std::size_t n) {
  return {area.begin() + p, area.begin() + p + n};
}

using B = std::vector<std::uint8_t>;

TEST(Codecs, PutWordIsPlainBigEndianOfTheLow16Bits) {
  PayloadArea a{};
  PutWord(a, 0, 300);
  EXPECT_EQ(Bytes(a, 0, 2), (B{0x01, 0x2C}));
  PutWord(a, 10, 0x12345);
  EXPECT_EQ(Bytes(a, 10, 2), (B{0x23, 0x45}));
  PutWord(a, 1998, 870);
  EXPECT_EQ(Bytes(a, 1998, 2), (B{0x03, 0x66}));
}

TEST(Codecs, WordAtReadsInBase255) {
  PayloadArea a{};
  a[0] = 0x01, a[1] = 0x2C;
  EXPECT_EQ(WordAt(a, 0), 299);
  a[2] = 0xFF, a[3] = 0xFF;
  EXPECT_EQ(WordAt(a, 2), 65280);
  // Two different pairs read as the same number.
  a[4] = 0x01, a[5] = 0x00, a[6] = 0x00, a[7] = 0xFF;
  EXPECT_EQ(WordAt(a, 4), 255);
  EXPECT_EQ(WordAt(a, 6), 255);
}

TEST(Codecs, PutLongSplitsAt65535TowardZero) {
  const struct {
    std::int32_t Value;
    B Expected;
  } cases[] = {
      {3, {0x00, 0x00, 0x00, 0x03}},
      {65535, {0x00, 0x01, 0x00, 0x00}},
      {65536, {0x00, 0x01, 0x00, 0x01}},
      {131071, {0x00, 0x02, 0x00, 0x01}},
      {300, {0x00, 0x00, 0x01, 0x2C}},
      {-1, {0x00, 0x00, 0xFF, 0xFF}},
      {2147483647, {0x80, 0x00, 0x7F, 0xFF}},
      {700, {0x00, 0x00, 0x02, 0xBC}},
      {100000, {0x00, 0x01, 0x86, 0xA1}},
      // -65536: quotient -1 (FF FF), remainder -1 (FF FF).
      {-65536, {0xFF, 0xFF, 0xFF, 0xFF}},
      // -2147483648: quotient -32768 (80 00), remainder -32768 (80 00).
      {-2147483647 - 1, {0x80, 0x00, 0x80, 0x00}},
  };
  for (const auto& c : cases) {
    PayloadArea a{};
    PutLong(a, 5, c.Value);
    EXPECT_EQ(Bytes(a, 5, 4), c.Expected) << c.Value;
    EXPECT_EQ(a[4], 0);
    EXPECT_EQ(a[9], 0);
  }
}

TEST(Codecs, LongAtReadsBothHalvesInBase255) {
  PayloadArea a{};
  const B bytes = {0x00, 0x00, 0x01, 0x2C, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x01};
  std::copy(bytes.begin(), bytes.end(), a.begin());
  EXPECT_EQ(LongAt(a, 0), 299u);
  EXPECT_EQ(LongAt(a, 4), 4278190080u);
  EXPECT_EQ(LongAt(a, 8), 65536u);
}

TEST(Codecs, PositionsOutsideTheAreaAreRefused) {
  PayloadArea a{};
  EXPECT_THROW(PutWord(a, 1999, 1), std::out_of_range);
  EXPECT_THROW(PutLong(a, 1997, 1), std::out_of_range);
  EXPECT_THROW(WordAt(a, 1999), std::out_of_range);
  EXPECT_THROW(LongAt(a, static_cast<std::size_t>(-1)), std::out_of_range);
  EXPECT_NO_THROW(LongAt(a, 1996));
}

TEST(RequestHeader, SwapExchangesOnlyTheSixWordFields) {
  std::uint8_t wire[23];
  for (int i = 0; i < 23; ++i) wire[i] = static_cast<std::uint8_t>(0xA0 + i);
  wire[8] = 0x00, wire[9] = 0x05;                     // DataLength 5
  wire[10] = 0x01, wire[11] = 0x02;                   // ExtraLength 258
  wire[20] = 0x01, wire[21] = 0xFE, wire[22] = 0x01;  // Command 510, SubCommand 1
  RequestHeader h;
  std::memcpy(&h, wire, 23);
  swapheader(h);
  EXPECT_EQ(int(h.DataLength), 5);
  EXPECT_EQ(int(h.ExtraLength), 258);
  EXPECT_EQ(int(h.Command), 510);
  EXPECT_EQ(int(h.SubCommand), 1);
  EXPECT_EQ(int(h.EchoWord1), 0xA1A2);
  EXPECT_EQ(int(h.EchoWord3), 0xA3A4);
  EXPECT_EQ(int(h.EchoWord5), 0xA5A6);
  EXPECT_EQ(int(h.EchoByte7), 0xA7);
  EXPECT_EQ(int(h.EchoByte19), 0xB3);
  swapheader(h);
  EXPECT_EQ(std::memcmp(&h, wire, 23), 0);
}

}  // namespace
}  // namespace varo
