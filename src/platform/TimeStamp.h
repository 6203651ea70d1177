// The time of day with which every ActivityLog line ends.
#pragma once

#include <string>

namespace varo {

// The current local time of day in the user's long time format (the LC_TIME locale's "%X").
std::string LocalTimeOfDay();

// The current local date and time as YYYY-MM-DD HH:MM:SS, the same in every locale.
std::string LocalDateAndTime();

}  // namespace varo
