#include "SystemFileActions.h"

#include <limits>
#include <stdexcept>

#include "platform/FileAccess.h"

namespace varo {

void DeleteSystemFile(const std::string& path) {
  RemoveFile(path);
}

FileDate SystemFileDate(const std::string& path) {
  return FileDateOf(ModificationTimeOf(path));
}

FileDate FileDateOf(std::time_t modified) {
  const CalendarDate date = LocalDateOf(modified);
  if (date.Year < 0 || date.Year > std::numeric_limits<std::uint16_t>::max()) {
    throw std::range_error("file date outside the years 0 to 65535");
  }
  return FileDate{static_cast<std::uint16_t>(date.Year), static_cast<std::uint8_t>(date.Month),
                  static_cast<std::uint8_t>(date.Day)};
}

}  // namespace varo
