// The time of day with which every ActivityLog line ends.
#pragma once

#include <string>

namespace varo {

// The current local time of day in the user's long time format (the LC_TIME locale's "%X").
std::string LocalTimeOfDay();

// The current local date and time as YYYY-MM-DD HH:MM:SS, the same in every locale.
std::string LocalDateAndTime();

// A local date and time with its distance from UTC.
struct LocalClock {
  int Year;
  int Month;  // 1 to 12
  int Day;    // 1 to 31
  int Hour;
  int Minute;
  int Second;
  int OffsetMinutes;  // local time less UTC: 60 in Rome in winter, -300 in New York
};

// The current local date and time with the offset in force at this moment.
LocalClock LocalClockNow();

}  // namespace varo
