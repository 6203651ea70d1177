#include "platform/CrashReportText.h"

#include <exception>

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

const char* CurrentExceptionText() {
  const std::exception_ptr current = std::current_exception();
  if (!current) return nullptr;
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "(not a std::exception)";
  }
}

CalendarTime CalendarTimeOf(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days to a date in the proleptic Gregorian calendar, counted in eras of 400 years that start
  // on 1 March, so the leap day ends a year.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t dayOfEra = shifted - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  CalendarTime time{};
  time.Day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  time.Month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  time.Year = yearOfEra + era * 400 + (time.Month <= 2 ? 1 : 0);
  time.Hour = static_cast<int>(rest / 3600);
  time.Minute = static_cast<int>(rest / 60 % 60);
  time.Second = static_cast<int>(rest % 60);
  return time;
}

namespace {

void AddDate(FixedText& text, const CalendarTime& time) {
  text.AddDecimal(time.Year, 4).Add("-").AddDecimal(time.Month, 2).Add("-").AddDecimal(time.Day, 2);
}

}  // namespace

void AddIsoTime(FixedText& text, const CalendarTime& time, int utcOffsetMinutes) {
  AddDate(text, time);
  text.Add("T").AddDecimal(time.Hour, 2).Add(":").AddDecimal(time.Minute, 2).Add(":");
  text.AddDecimal(time.Second, 2);
  const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
  text.Add(utcOffsetMinutes < 0 ? "-" : "+").AddDecimal(offset / 60, 2).Add(":");
  text.AddDecimal(offset % 60, 2);
}

void AddFileNameTime(FixedText& text, const CalendarTime& time) {
  AddDate(text, time);
  text.Add("T").AddDecimal(time.Hour, 2).AddDecimal(time.Minute, 2).AddDecimal(time.Second, 2);
}

void AddStackLine(FixedText& text, int index, std::uint64_t address, std::string_view module,
                  std::uint64_t offset) {
  text.Add("#").AddDecimal(index).Add(" 0x").AddHex(address, 16);
  if (!module.empty()) text.Add(" ").Add(module).Add("+0x").AddHex(offset);
}

}  // namespace varo
