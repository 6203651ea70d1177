// Windows: a local time's distance from UTC, from the two as 100-nanosecond ticks.
#pragma once

#include <cstdint>

namespace varo::win32 {

// Minutes from UTC to the local time, rounded to the whole minute: zones lie whole minutes apart.
inline int ZoneOffsetMinutes(std::int64_t localTicks, std::int64_t utcTicks) {
  const std::int64_t difference = localTicks - utcTicks;
  return static_cast<int>((difference + (difference < 0 ? -300000000 : 300000000)) / 600000000);
}

}  // namespace varo::win32
