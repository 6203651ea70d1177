// Fuzz target: the integer rule against a slow reading of its own words, and the code of a name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "Invariant.h"
#include "archive/SystemCode.h"
#include "settings/IntegerRule.h"

namespace {

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  const std::string_view digits = "0123456789abcdef";
  const std::string_view upper = "0123456789ABCDEF";
  if (const auto at = digits.find(c); at != std::string_view::npos) return static_cast<int>(at);
  if (const auto at = upper.find(c); at != std::string_view::npos) return static_cast<int>(at);
  return -1;
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits;
}

// The rule read word by word: blanks, a sign, then decimal digits in the signed 32-bit range, or
// a prefix and at most eight significant hexadecimal digits as a two's-complement pattern; nothing
// else, nothing after. Ranges are compared as digit strings, not computed.
std::optional<std::int32_t> SlowRule(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }

  std::string_view hex;
  bool isHex = false;
  for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
    if (text.substr(0, prefix.size()) == prefix) {
      hex = text.substr(prefix.size());
      isHex = true;
      break;
    }
  }
  if (isHex) {
    if (hex.empty()) return std::nullopt;
    for (char c : hex) {
      if (HexValue(c) < 0) return std::nullopt;
    }
    const std::string_view significant = WithoutLeadingZeros(hex);
    if (significant.size() > 8) return std::nullopt;
    std::uint32_t bits = 0;
    for (char c : significant) bits = bits * 16 + static_cast<std::uint32_t>(HexValue(c));
    if (negative) bits = ~bits + 1;
    return static_cast<std::int32_t>(bits);
  }

  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (!IsDecimalDigit(c)) return std::nullopt;
  }
  const std::string_view significant = WithoutLeadingZeros(text);
  const std::string_view limit = negative ? "2147483648" : "2147483647";
  if (significant.size() > limit.size()) return std::nullopt;
  if (significant.size() == limit.size() && significant > limit) return std::nullopt;
  const long long magnitude = std::stoll(std::string(significant));
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// The code of a name by its own words: the last of "." "/" "\" ":" must be a dot.
std::int32_t SlowCode(std::string_view name) {
  for (std::size_t i = name.size(); i-- > 0;) {
    const char c = name[i];
    if (c == '/' || c == '\\' || c == ':') return -1;
    if (c == '.') return varo::ParseInteger(name.substr(i + 1)).value_or(-1);
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FUZZ_REQUIRE(varo::ParseInteger(text) == SlowRule(text));
  FUZZ_REQUIRE(varo::GetCodice(text) == SlowCode(text));
  return 0;
}
