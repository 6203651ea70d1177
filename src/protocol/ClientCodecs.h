// The client's side of the payload numbers: requests written for the server's base-255 readers,
// replies read back from its 65535-split writers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace varo {

// The two bytes that WordAt reads as value, or nothing when no pair reads as it (above 65280).
// Values up to 255 go out as 00 vv, larger ones with the smallest possible high byte.
std::optional<std::array<std::uint8_t, 2>> EncodeWordForReader(std::uint32_t value);

// The four bytes that LongAt reads as value, or nothing when no bytes read as it: a remainder by
// 65535 above 65280, or a value above 4278190080.
std::optional<std::array<std::uint8_t, 4>> EncodeLongForReader(std::uint32_t value);

// The value PutWord wrote into two bytes (plain big-endian).
std::uint16_t DecodePutWord(const std::uint8_t* bytes);

// Every signed 32-bit value for which PutLong writes these four bytes: none, one or two, the one
// with the smaller magnitude first (the non-negative one first when both are equally large).
std::vector<std::int32_t> PutLongReadings(const std::uint8_t* bytes);

// What a field written with PutLong may hold, which decides between two readings.
enum class LongField {
  Signed,       // any value: the reading of smaller magnitude wins
  NonNegative,  // counts and costs: a non-negative reading wins
};

// A PutLong field as the client reads it: the chosen value and, when the bytes read two ways,
// the value it was not taken for. Ambiguous when neither the field's rule nor a preferred value
// settled the choice and the chosen reading is negative or no smaller than the other, so that a
// reader should be shown both; a small non-negative reading (a code of 12 rather than -65524)
// counts as settled.
struct LongReading {
  std::int32_t Value = 0;
  std::optional<std::int32_t> Other;
  bool Ambiguous = false;
};

// Reads a PutLong field; nothing when no value writes these bytes. A preferred value (the code a
// request asked for) wins over the field's rule when it is one of the readings.
std::optional<LongReading> DecodePutLong(const std::uint8_t* bytes,
                                         LongField field = LongField::Signed,
                                         std::optional<std::int32_t> preferred = std::nullopt);

}  // namespace varo
