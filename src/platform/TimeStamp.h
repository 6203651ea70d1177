// The local time as the program's log lines and records carry it.
#pragma once

#include <string>

#include "records/CalendarTime.h"

namespace varo {

// The current local time of day in the user's long time format (the LC_TIME locale's "%X").
std::string LocalTimeOfDay();

// The current local date and time with the offset from UTC in force at this moment.
CalendarTime LocalClockNow();

}  // namespace varo
