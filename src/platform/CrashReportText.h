// The text of a crash report, built in a buffer of fixed size without allocating, taking a lock
// or calling the C library's formatting: it is written while the process crashes.
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

// What the exception being handled says, for a report of std::terminate; nullptr when there is
// none. Called only from the terminate handler.
const char* CurrentExceptionText();

// A moment as a calendar and a clock show it.
struct CalendarTime {
  std::int64_t Year;
  int Month;  // 1 to 12
  int Day;    // 1 to 31
  int Hour;
  int Minute;
  int Second;
};

// The calendar time of seconds since 1970-01-01 00:00:00 on the same clock, by arithmetic alone.
CalendarTime CalendarTimeOf(std::int64_t seconds);

// Appends the time in ISO 8601 with its offset from UTC: "2026-12-08T10:15:02+01:00".
void AddIsoTime(FixedText& text, const CalendarTime& time, int utcOffsetMinutes);

// Appends the time as a report's file name carries it: "2026-12-08T101502".
void AddFileNameTime(FixedText& text, const CalendarTime& time);

// Appends one line of a stack: "#3 0x00007f0011223344 libc.so.6+0x29d90"; without a module, the
// address alone.
void AddStackLine(FixedText& text, int index, std::uint64_t address, std::string_view module,
                  std::uint64_t offset);

}  // namespace varo
