#include "ClientText.h"

#include <cstdint>
#include <cstdio>

namespace varo::client {

namespace {

// Windows-1252 0x80 to 0x9F; 0 marks the five bytes the page leaves undefined.
constexpr char32_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Convert(const std::string& wireBytes, bool hideControls) {
  std::string out;
  for (const char ch : wireBytes) {
    const auto b = static_cast<std::uint8_t>(ch);
    char32_t c = b;
    if (b >= 0x80 && b <= 0x9F) c = HighControls[b - 0x80] ? HighControls[b - 0x80] : 0xFFFD;
    if (hideControls && (c < 0x20 || c == 0x7F)) c = '?';
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

std::string WireNameForDisplay(const std::string& wireBytes) {
  return Convert(wireBytes, true);
}

std::string WireNameToUtf8(const std::string& wireBytes) {
  return Convert(wireBytes, false);
}

std::string CountOf(std::uint64_t count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string JsonQuote(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace varo::client
