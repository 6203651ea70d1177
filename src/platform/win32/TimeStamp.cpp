#include "platform/TimeStamp.h"

#include <cstdint>
#include <cstdio>

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "platform/win32/ZoneOffset.h"

namespace varo {

std::string LocalTimeOfDay() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[128];
  // The user's own time format, as the regional settings give it.
  const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, text, 128);
  if (length > 1)
    return win32::Narrow(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
  // A format that cannot be had would leave the stamp blank; fall back to 24 hours.
  char fallback[16];
  std::snprintf(fallback, sizeof fallback, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
  return fallback;
}

namespace {

std::int64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file{};
  SystemTimeToFileTime(&time, &file);
  return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

CalendarTime LocalClockNow() {
  SYSTEMTIME utc;
  GetSystemTime(&utc);
  SYSTEMTIME local = utc;
  // The rules of the zone in force for this very moment, summer time included.
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  // 100-nanosecond ticks; zones lie whole minutes from UTC.
  const int offset = win32::ZoneOffsetMinutes(Ticks(local), Ticks(utc));
  return CalendarTime{local.wYear, local.wMonth,  local.wDay, local.wHour,
                      local.wMinute, local.wSecond, offset};
}

}  // namespace varo
