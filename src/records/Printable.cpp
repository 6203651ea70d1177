#include "records/Printable.h"

#include <algorithm>

namespace varo {

namespace {

// The length of the control character that starts text, 0 when it starts with none.
std::size_t ControlLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(0) < 0x20 || byte(0) == 0x7F) return 1;
  if (byte(0) == 0xC2 && text.size() > 1 && byte(1) >= 0x80 && byte(1) <= 0x9F) return 2;
  if (text.starts_with("\xE2\x80\xA8") || text.starts_with("\xE2\x80\xA9")) return 3;
  return 0;
}

}  // namespace

std::string Printable(std::string_view text) {
  // Every line passes here on its way out, and nearly every one has nothing to replace.
  const auto needsLook = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || byte == 0xC2 || byte == 0xE2;
  };
  if (std::none_of(text.begin(), text.end(), needsLook)) return std::string(text);
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t control = ControlLength(text.substr(i));
    if (control > 0) {
      shown.push_back('?');
      i += control;
    } else {
      shown.push_back(text[i++]);
    }
  }
  return shown;
}

}  // namespace varo
