// Text built in a caller's buffer of fixed size without allocating, taking a lock or calling the C
// library's formatting: crash reports are written with it while the process crashes, and every
// record's date with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varo {

// Text appended into a caller's buffer; what does not fit is left out.
class FixedText {
 public:
  FixedText(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  // Appends text as it is.
  FixedText& Add(std::string_view text);
  // Appends value in lower-case hexadecimal, at least digits long with leading zeros.
  FixedText& AddHex(std::uint64_t value, int digits = 1);
  // Appends value in decimal, at least digits long with leading zeros.
  FixedText& AddDecimal(std::int64_t value, int digits = 1);

  std::string_view View() const { return {buffer_, size_}; }
  // The text with a terminating NUL, for calls that take a C string; the last character is
  // dropped when the buffer is full.
  const char* CString();
  void Clear() { size_ = 0; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

// Copies text into target as a C string, cut to fit; for what a crash report needs later, kept
// where no allocation is needed to read it.
void CopyText(char* target, std::size_t capacity, std::string_view text);

}  // namespace varo
