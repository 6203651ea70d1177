#include "platform/TimeStamp.h"

#include <ctime>

namespace varo {

std::string LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  // Every log line asks, and the stamp changes once a second: it is made once a second.
  thread_local std::time_t madeFor = -1;
  thread_local std::string made;
  if (now == madeFor) return made;
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return "??:??:??";
  char text[128];
  std::size_t length = std::strftime(text, sizeof text, "%X", &local);
  // A locale whose time format comes out empty would leave the stamp blank; fall back to 24 hours.
  if (length == 0) length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
  made.assign(text, length);
  madeFor = now;
  return made;
}

CalendarTime LocalClockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) gmtime_r(&now, &local);  // then the offset is 0
  return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min,         local.tm_sec,     static_cast<int>(local.tm_gmtoff / 60)};
}

}  // namespace varo
