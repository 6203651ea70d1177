#include "records/CalendarTime.h"

namespace varo {

CalendarTime CalendarTimeOf(std::int64_t seconds, int offsetMinutes) {
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
  time.OffsetMinutes = offsetMinutes;
  return time;
}

namespace {

void AddDate(FixedText& text, const CalendarTime& time) {
  text.AddDecimal(time.Year, 4).Add("-").AddDecimal(time.Month, 2).Add("-").AddDecimal(time.Day, 2);
}

}  // namespace

void AddIsoTime(FixedText& text, const CalendarTime& time) {
  AddDate(text, time);
  text.Add("T").AddDecimal(time.Hour, 2).Add(":").AddDecimal(time.Minute, 2).Add(":");
  text.AddDecimal(time.Second, 2);
  const int offset = time.OffsetMinutes < 0 ? -time.OffsetMinutes : time.OffsetMinutes;
  text.Add(time.OffsetMinutes < 0 ? "-" : "+").AddDecimal(offset / 60, 2).Add(":");
  text.AddDecimal(offset % 60, 2);
}

void AddDateAndTime(FixedText& text, const CalendarTime& time) {
  AddDate(text, time);
  text.Add(" ").AddDecimal(time.Hour, 2).Add(":").AddDecimal(time.Minute, 2).Add(":");
  text.AddDecimal(time.Second, 2);
}

void AddFileNameTime(FixedText& text, const CalendarTime& time) {
  AddDate(text, time);
  text.Add("T").AddDecimal(time.Hour, 2).AddDecimal(time.Minute, 2).AddDecimal(time.Second, 2);
}

}  // namespace varo
