#include "archive/CodePage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace varo {

namespace {

// The characters that Windows-1252 places at 0x80 to 0x9F; 0 marks the five unassigned bytes.
constexpr std::array<char32_t, 32> HighControlRow = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < HighControlRow.size(); ++i) {
    if (HighControlRow[i] != 0 && HighControlRow[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Decodes strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (text.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out.push_back(c);
    i += length;
  }
  return out;
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view text) {
  const auto decoded = DecodeUtf8(text);
  if (!decoded) return std::string(text);
  std::string out;
  out.reserve(decoded->size());
  for (char32_t c : *decoded) out.push_back(ToWindows1252(c));
  return out;
}

}  // namespace varo
