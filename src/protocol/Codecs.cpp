#include "Codecs.h"

#include <stdexcept>

namespace varo {

namespace {

// Positions are fixed by the handlers; one outside the area is a fault of the caller, and it
// must end the request rather than touch memory beyond the area.
void RequireInside(std::size_t p, std::size_t width) {
  if (p > PayloadAreaSize || width > PayloadAreaSize - p) {
    throw std::out_of_range("payload position outside the 2000-byte area");
  }
}

}  // namespace

void PutWordBytes(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
  out[1] = static_cast<std::uint8_t>(v & 0xFF);
}

void PutLongBytes(std::uint8_t* out, std::int32_t v) {
  // C++ division truncates toward zero, and the remainder keeps the sign of v.
  const std::int32_t q = v / 65535;
  const std::int32_t r = v - q * 65535;
  PutWordBytes(out, static_cast<std::uint32_t>(q));
  PutWordBytes(out + 2, static_cast<std::uint32_t>(r));
}

void PutWord(PayloadArea& area, std::size_t p, std::uint32_t v) {
  RequireInside(p, 2);
  PutWordBytes(area.data() + p, v);
}

void PutLong(PayloadArea& area, std::size_t p, std::int32_t v) {
  RequireInside(p, 4);
  PutLongBytes(area.data() + p, v);
}

std::uint16_t WordAt(const PayloadArea& area, std::size_t p) {
  RequireInside(p, 2);
  return static_cast<std::uint16_t>(area[p] * 255u + area[p + 1]);
}

std::uint32_t LongAt(const PayloadArea& area, std::size_t p) {
  RequireInside(p, 4);
  return static_cast<std::uint32_t>(WordAt(area, p)) * 65535u + WordAt(area, p + 2);
}

}  // namespace varo
