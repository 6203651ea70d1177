// The number codecs of payloads: writers high byte first split at 65535, readers in base 255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PayloadArea.h"

namespace varo {

// Writes the low 16 bits of v at p, p+1, high byte first.
void PutWord(PayloadArea& area, std::size_t p, std::uint32_t v);

// Writes v as quotient and remainder by 65535 (truncated toward zero), each with PutWord.
void PutLong(PayloadArea& area, std::size_t p, std::int32_t v);

// Reads byte p times 255 plus byte p+1 (0 to 65280).
std::uint16_t WordAt(const PayloadArea& area, std::size_t p);

// Reads WordAt(p) times 65535 plus WordAt(p+2) (0 to 4278190080).
std::uint32_t LongAt(const PayloadArea& area, std::size_t p);

// The two bytes PutWord writes for v, for records that are converted in place.
void PutWordBytes(std::uint8_t* out, std::uint32_t v);

// The four bytes PutLong writes for v, for records that are converted in place.
void PutLongBytes(std::uint8_t* out, std::int32_t v);

}  // namespace varo
