#include "records/FixedText.h"

namespace varo {

FixedText& FixedText::Add(std::string_view text) {
  for (char c : text) {
    if (size_ == capacity_) break;
    buffer_[size_++] = c;
  }
  return *this;
}

FixedText& FixedText::AddHex(std::uint64_t value, int digits) {
  char reversed[16];
  int count = 0;
  do {
    reversed[count++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = count; i < digits; ++i) Add("0");
  while (count > 0) Add(std::string_view(&reversed[--count], 1));
  return *this;
}

FixedText& FixedText::AddDecimal(std::int64_t value, int digits) {
  // Counted below zero, so the most negative value needs no special case.
  if (value < 0) Add("-");
  std::int64_t negative = value < 0 ? value : -value;
  char reversed[20];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' - negative % 10);
    negative /= 10;
  } while (negative != 0);
  for (int i = count; i < digits; ++i) Add("0");
  while (count > 0) Add(std::string_view(&reversed[--count], 1));
  return *this;
}

const char* FixedText::CString() {
  if (capacity_ == 0) return "";
  if (size_ == capacity_) --size_;
  buffer_[size_] = '\0';
  return buffer_;
}

void CopyText(char* target, std::size_t capacity, std::string_view text) {
  FixedText(target, capacity).Add(text).CString();
}

}  // namespace varo
