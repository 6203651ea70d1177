#include "ClientCodecs.h"

#include <algorithm>
#include <cstdint>

namespace varo {

namespace {

constexpr std::uint32_t LargestWordReading = 255u * 255u + 255u;  // FF FF
constexpr std::uint32_t LongSplit = 65535;                        // between the two halves
constexpr std::uint32_t LargestLongReading = LargestWordReading * LongSplit + LargestWordReading;

// The magnitude of a reading, taken without overflow for the most negative value.
std::uint32_t Magnitude(std::int32_t v) {
  return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}

}  // namespace

std::optional<std::array<std::uint8_t, 2>> EncodeWordForReader(std::uint32_t value) {
  if (value > LargestWordReading) return std::nullopt;
  // The smallest high byte that leaves a low byte within 0 to 255.
  const std::uint32_t high = value <= 255 ? 0 : (value - 255 + 254) / 255;
  const std::uint32_t low = value - high * 255;
  return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(high),
                                     static_cast<std::uint8_t>(low)};
}

std::optional<std::array<std::uint8_t, 4>> EncodeLongForReader(std::uint32_t value) {
  if (value > LargestLongReading) return std::nullopt;
  // Each half reads at most 65280, below the split, so quotient and remainder are the only split.
  const auto high = EncodeWordForReader(value / LongSplit);
  const auto low = EncodeWordForReader(value % LongSplit);
  if (!high || !low) return std::nullopt;
  return std::array<std::uint8_t, 4>{(*high)[0], (*high)[1], (*low)[0], (*low)[1]};
}

std::uint16_t DecodePutWord(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::vector<std::int32_t> PutLongReadings(const std::uint8_t* bytes) {
  const std::int64_t high = DecodePutWord(bytes);
  const std::int64_t low = DecodePutWord(bytes + 2);
  // The quotient lies in -32768 to 32768, so its low 16 bits name it except 80 00, which both
  // ends share. The remainder has the sign of the value and lies in -65534 to 65534.
  std::vector<std::int64_t> quotients;
  if (high < 0x8000) quotients.push_back(high);
  if (high >= 0x8000) quotients.push_back(high - 0x10000);
  if (high == 0x8000) quotients.push_back(0x8000);

  std::vector<std::int32_t> readings;
  for (const std::int64_t q : quotients) {
    std::vector<std::int64_t> remainders;
    if (q >= 0 && low <= 65534) remainders.push_back(low);
    if (q <= 0 && low >= 2) remainders.push_back(low - 0x10000);
    if (q < 0 && low == 0) remainders.push_back(0);
    for (const std::int64_t r : remainders) {
      const std::int64_t v = q * 65535 + r;
      if (v < INT32_MIN || v > INT32_MAX) continue;
      const auto value = static_cast<std::int32_t>(v);
      if (std::find(readings.begin(), readings.end(), value) == readings.end()) {
        readings.push_back(value);
      }
    }
  }
  std::sort(readings.begin(), readings.end(), [](std::int32_t a, std::int32_t b) {
    if (Magnitude(a) != Magnitude(b)) return Magnitude(a) < Magnitude(b);
    return a > b;
  });
  return readings;
}

std::optional<LongReading> DecodePutLong(const std::uint8_t* bytes, LongField field,
                                         std::optional<std::int32_t> preferred) {
  std::vector<std::int32_t> readings = PutLongReadings(bytes);
  if (readings.empty()) return std::nullopt;
  auto chosen = readings.begin();
  bool settled = readings.size() == 1;
  const auto match =
      preferred ? std::find(readings.begin(), readings.end(), *preferred) : readings.end();
  if (match != readings.end()) {
    chosen = match;
    settled = true;
  } else if (field == LongField::NonNegative) {
    const auto count =
        std::count_if(readings.begin(), readings.end(), [](std::int32_t v) { return v >= 0; });
    if (count == 1) {
      chosen =
          std::find_if(readings.begin(), readings.end(), [](std::int32_t v) { return v >= 0; });
      settled = true;
    }
  }
  LongReading reading{*chosen, std::nullopt, false};
  for (auto it = readings.begin(); it != readings.end(); ++it) {
    if (it != chosen) reading.Other = *it;
  }
  if (!settled && reading.Other) {
    reading.Ambiguous = reading.Value < 0 || Magnitude(reading.Value) >= Magnitude(*reading.Other);
  }
  return reading;
}

}  // namespace varo
