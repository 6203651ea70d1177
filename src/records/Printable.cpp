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

// The length of the valid UTF-8 character that starts text, 0 when it starts with none: no
// overlong form, no surrogate, nothing past U+10FFFF.
std::size_t CharacterLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned first = byte(0);
  if (first < 0x80) return 1;
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // the bounds of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// Whether text starts with a bidirectional control.
bool StartsWithBidiControl(std::string_view text) {
  if (text.size() < 3 || text[0] != '\xE2') return false;
  const auto second = static_cast<unsigned char>(text[1]);
  const auto third = static_cast<unsigned char>(text[2]);
  return (second == 0x80 && (third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE))) ||
         (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}

}  // namespace

std::string EventText(std::string_view text) {
  // Most lines are plain ASCII with nothing to replace.
  const auto needsLook = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte >= 0x7F;
  };
  if (std::none_of(text.begin(), text.end(), needsLook)) return std::string(text);
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::string_view rest = text.substr(i);
    const std::size_t control = ControlLength(rest);
    const std::size_t character = CharacterLength(rest);
    if (control > 0 || character == 0 || StartsWithBidiControl(rest)) {
      shown.push_back('?');
      i += control > 0 ? control : (character > 0 ? character : 1);
    } else {
      shown.append(rest.substr(0, character));
      i += character;
    }
  }
  return shown;
}

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
