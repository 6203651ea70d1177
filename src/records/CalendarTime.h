// The one date and time of the program's records: a moment as a calendar and a clock show it, with
// its distance from UTC, written in ISO 8601 without allocating (a crash report is written while
// the process crashes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/FixedText.h"

namespace varo {

struct CalendarTime {
  std::int64_t Year;
  int Month;  // 1 to 12
  int Day;    // 1 to 31
  int Hour;
  int Minute;
  int Second;
  int OffsetMinutes = 0;  // local time less UTC: 60 in Rome in winter, -300 in New York
};

// The calendar time of seconds since 1970-01-01 00:00:00 on the same clock, by arithmetic alone,
// said to lie offsetMinutes from UTC.
CalendarTime CalendarTimeOf(std::int64_t seconds, int offsetMinutes = 0);

// Appends the time in ISO 8601 with its offset from UTC: "2026-12-08T10:15:02+01:00".
void AddIsoTime(FixedText& text, const CalendarTime& time);

// The longest text AddIsoTime appends, for a buffer that holds any.
inline constexpr std::size_t IsoTimeCapacity = 40;

// Appends the date and time as a person reads it, the same in every locale: "2026-12-08 10:15:02".
void AddDateAndTime(FixedText& text, const CalendarTime& time);

// Appends the time as a report's file name carries it: "2026-12-08T101502".
void AddFileNameTime(FixedText& text, const CalendarTime& time);

}  // namespace varo
