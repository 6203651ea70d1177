#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "protocol/ClientCodecs.h"
#include "protocol/Codecs.h"

namespace varo {
namespace {

using B = std::vector<std::uint8_t>;

B WordBytes(std::uint32_t v) {
  const auto e = EncodeWordForReader(v);
  return e ? B(e->begin(), e->end()) : B{};
}

B LongBytes(std::uint32_t v) {
  const auto e = EncodeLongForReader(v);
  return e ? B(e->begin(), e->end()) : B{};
}

std::uint32_t ServerLongAt(const std::array<std::uint8_t, 4>& bytes) {
  PayloadArea area{};
  std::copy(bytes.begin(), bytes.end(), area.begin() + 1);
  return LongAt(area, 1);
}

TEST(ClientCodecs, WordEncodingOfEdgeValues) {
  EXPECT_EQ(WordBytes(0), (B{0x00, 0x00}));
  EXPECT_EQ(WordBytes(255), (B{0x00, 0xFF}));  // small values as plain big-endian
  EXPECT_EQ(WordBytes(256), (B{0x01, 0x01}));
  EXPECT_EQ(WordBytes(299), (B{0x01, 0x2C}));
  EXPECT_EQ(WordBytes(510), (B{0x01, 0xFF}));
  EXPECT_EQ(WordBytes(511), (B{0x02, 0x01}));
  EXPECT_EQ(WordBytes(65279), (B{0xFF, 0xFE}));
  EXPECT_EQ(WordBytes(65280), (B{0xFF, 0xFF}));
  EXPECT_FALSE(EncodeWordForReader(65281));
  EXPECT_FALSE(EncodeWordForReader(65535));
  EXPECT_FALSE(EncodeWordForReader(65536));
}

TEST(ClientCodecs, EveryWordTheServerCanReadArrivesAsTyped) {
  PayloadArea area{};
  for (std::uint32_t v = 0; v <= 70000; ++v) {
    const auto e = EncodeWordForReader(v);
    ASSERT_EQ(e.has_value(), v <= 65280) << v;
    if (!e) continue;
    area[7] = (*e)[0], area[8] = (*e)[1];
    ASSERT_EQ(WordAt(area, 7), v);
  }
}

TEST(ClientCodecs, LongEncodingOfEdgeValues) {
  EXPECT_EQ(LongBytes(0), (B{0, 0, 0, 0}));
  EXPECT_EQ(LongBytes(255), (B{0, 0, 0, 0xFF}));
  EXPECT_EQ(LongBytes(256), (B{0, 0, 0x01, 0x01}));
  EXPECT_EQ(LongBytes(299), (B{0, 0, 0x01, 0x2C}));
  EXPECT_EQ(LongBytes(65280), (B{0, 0, 0xFF, 0xFF}));
  EXPECT_EQ(LongBytes(65535), (B{0, 0x01, 0, 0}));
  EXPECT_EQ(LongBytes(65536), (B{0, 0x01, 0, 0x01}));
  EXPECT_EQ(LongBytes(65535u * 255 + 65280), (B{0, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(LongBytes(4278190080u), (B{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ClientCodecs, LongValuesNoBytesReadAsAreRefused) {
  for (std::uint32_t v : {65281u, 65534u, 65535u * 2 + 65281, 4278190081u, 4278255934u,
                          4294967295u /* the code -1 */, 4294967294u}) {
    EXPECT_FALSE(EncodeLongForReader(v)) << v;
  }
  // The most negative codes that still have a reading: 2^32 - 16777216 is FF FF FF FF.
  EXPECT_EQ(LongBytes(static_cast<std::uint32_t>(-16777216)), (B{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ClientCodecs, EveryEncodedLongIsReadBackByTheServerAsTyped) {
  std::vector<std::uint32_t> values;
  for (std::uint32_t base :
       {0u, 65535u, 65535u * 255, 65535u * 256, 65535u * 65279, 65535u * 65280}) {
    for (std::uint32_t d = 0; d < 65536 + 300; d += 7) values.push_back(base + d);
  }
  for (std::uint64_t v = 0; v <= 0xFFFFFFFFull; v += 999983) {
    values.push_back(static_cast<std::uint32_t>(v));
  }
  for (std::uint32_t v : values) {
    const bool reachable = v % 65535 <= 65280 && v / 65535 <= 65280;
    const auto e = EncodeLongForReader(v);
    ASSERT_EQ(e.has_value(), reachable) << v;
    if (e) {
      ASSERT_EQ(ServerLongAt(*e), v);
    }
  }
}

TEST(ClientCodecs, PutWordIsReadBackPlainBigEndian) {
  const B b1{0x03, 0x66};
  EXPECT_EQ(DecodePutWord(b1.data()), 870);
  const B b2{0x07, 0xD6};
  EXPECT_EQ(DecodePutWord(b2.data()), 2006);
  std::uint8_t out[2];
  for (std::uint32_t v = 0; v <= 0xFFFF; ++v) {
    PutWordBytes(out, v);
    ASSERT_EQ(DecodePutWord(out), v);
  }
}

std::vector<std::int32_t> Readings(B bytes) {
  return PutLongReadings(bytes.data());
}

TEST(ClientCodecs, PutLongBytesWithOneReading) {
  EXPECT_EQ(Readings({0, 0, 0, 0}), (std::vector<std::int32_t>{0}));
  EXPECT_EQ(Readings({0, 0, 0, 1}), (std::vector<std::int32_t>{1}));
  EXPECT_EQ(Readings({0, 0, 0xFF, 0xFF}), (std::vector<std::int32_t>{-1}));
  EXPECT_EQ(Readings({0, 1, 0, 0}), (std::vector<std::int32_t>{65535}));
  EXPECT_EQ(Readings({0, 1, 0x86, 0xA1}), (std::vector<std::int32_t>{100000}));
  EXPECT_EQ(Readings({0xFF, 0xFF, 0, 0}), (std::vector<std::int32_t>{-65535}));
  EXPECT_EQ(Readings({0xFF, 0xFF, 0xFF, 0xFF}), (std::vector<std::int32_t>{-65536}));
  EXPECT_EQ(Readings({0x80, 0, 0x7F, 0xFF}), (std::vector<std::int32_t>{2147483647}));
  EXPECT_EQ(Readings({0x80, 0, 0x80, 0}), (std::vector<std::int32_t>{-2147483647 - 1}));
  EXPECT_EQ(Readings({0x80, 0, 0, 1}), (std::vector<std::int32_t>{2147450881}));
}

TEST(ClientCodecs, PutLongBytesWithTwoReadingsSmallerMagnitudeFirst) {
  EXPECT_EQ(Readings({0, 0, 0, 2}), (std::vector<std::int32_t>{2, -65534}));
  EXPECT_EQ(Readings({0, 0, 0x02, 0xBC}), (std::vector<std::int32_t>{700, -64836}));
  EXPECT_EQ(Readings({0, 0, 0xFD, 0xE8}), (std::vector<std::int32_t>{-536, 65000}));
  EXPECT_EQ(Readings({0, 0, 0x80, 0}), (std::vector<std::int32_t>{32768, -32768}));
  EXPECT_EQ(Readings({0x80, 0, 0, 0}), (std::vector<std::int32_t>{2147450880, -2147450880}));
}

TEST(ClientCodecs, PutLongBytesNoValueWrites) {
  EXPECT_TRUE(Readings({0, 1, 0xFF, 0xFF}).empty());  // positive quotient, remainder 65535
  EXPECT_TRUE(Readings({0x7F, 0xFF, 0xFF, 0xFF}).empty());
  EXPECT_TRUE(Readings({0xFF, 0xFF, 0, 1}).empty());  // negative quotient, remainder -65535
  EXPECT_TRUE(Readings({0x80, 0x01, 0, 1}).empty());
  const B impossible{0, 1, 0xFF, 0xFF};
  EXPECT_FALSE(DecodePutLong(impossible.data()));
}

TEST(ClientCodecs, EveryReadingIsWhatPutLongWritesAndEveryValueIsAmongItsReadings) {
  std::vector<std::int32_t> values;
  for (std::int32_t v = -140000; v <= 140000; ++v) values.push_back(v);
  for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65521) {
    values.push_back(static_cast<std::int32_t>(v));
  }
  for (std::int32_t d = 0; d < 70000; ++d) {
    values.push_back(INT32_MAX - d);
    values.push_back(INT32_MIN + d);
  }
  std::uint8_t bytes[4];
  std::uint8_t again[4];
  for (std::int32_t v : values) {
    PutLongBytes(bytes, v);
    const auto readings = PutLongReadings(bytes);
    ASSERT_FALSE(readings.empty()) << v;
    ASSERT_LE(readings.size(), 2u) << v;
    ASSERT_NE(std::find(readings.begin(), readings.end(), v), readings.end()) << v;
    for (std::int32_t r : readings) {
      PutLongBytes(again, r);
      ASSERT_TRUE(std::equal(bytes, bytes + 4, again)) << v << " read as " << r;
    }
  }
}

TEST(ClientCodecs, AmbiguousPatternsAreExactlyTheSmallQuotientAndTheSharedEnd) {
  // Quotient word 00 00: remainders 2 to 65534 read both ways; 80 00: only a zero remainder does.
  for (std::uint32_t high : {0x0000u, 0x8000u, 0x0001u, 0x7FFFu, 0xFFFFu, 0x8001u}) {
    int ambiguous = 0;
    for (std::uint32_t low = 0; low <= 0xFFFF; ++low) {
      const std::uint8_t b[4] = {
          static_cast<std::uint8_t>(high >> 8), static_cast<std::uint8_t>(high),
          static_cast<std::uint8_t>(low >> 8), static_cast<std::uint8_t>(low)};
      if (PutLongReadings(b).size() == 2) ++ambiguous;
    }
    EXPECT_EQ(ambiguous, high == 0 ? 65533 : high == 0x8000 ? 1 : 0) << high;
  }
}

TEST(ClientCodecs, DecodeChoosesByFieldAndByThePreferredValue) {
  const B cost{0, 0, 0x80, 0x01};  // 32769 or -32767
  auto r = DecodePutLong(cost.data());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, -32767);
  EXPECT_EQ(r->Other, 32769);
  EXPECT_TRUE(r->Ambiguous);
  r = DecodePutLong(cost.data(), LongField::NonNegative);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, 32769);
  EXPECT_EQ(r->Other, -32767);
  EXPECT_FALSE(r->Ambiguous);  // a cost cannot be negative

  const B tie{0x80, 0, 0, 0};  // 2147450880 or -2147450880, equally large
  r = DecodePutLong(tie.data());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, 2147450880);
  EXPECT_TRUE(r->Ambiguous);
  r = DecodePutLong(tie.data(), LongField::NonNegative);
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->Ambiguous);

  const B code{0, 0, 0xFD, 0xE8};  // -536 or 65000
  r = DecodePutLong(code.data(), LongField::Signed, 65000);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, 65000);
  EXPECT_FALSE(r->Ambiguous);
  r = DecodePutLong(code.data(), LongField::Signed, 7);  // not a reading: the rule decides
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, -536);
  EXPECT_TRUE(r->Ambiguous);

  const B twelve{0, 0, 0, 12};  // 12 or -65524: the small non-negative reading is settled
  r = DecodePutLong(twelve.data());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, 12);
  EXPECT_EQ(r->Other, -65524);
  EXPECT_FALSE(r->Ambiguous);

  const B minusOne{0, 0, 0xFF, 0xFF};
  r = DecodePutLong(minusOne.data(), LongField::NonNegative);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Value, -1);  // the only reading, even where negatives make no sense
  EXPECT_FALSE(r->Other);
}

}  // namespace
}  // namespace varo
