#include "SystemFileActions.h"

#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/FileAccess.h"

namespace varo {

Disposal DeleteSystemFile(const std::string& path, Deletion deletion) {
  if (deletion == Deletion::ToTrash) return MoveToTrash(path);
  RemoveFile(path);
  return Disposal::DeletedForGood;
}

FileDate SystemFileDate(const std::string& path) {
  return FileDateOf(ModificationTimeOf(path));
}

FileDate FileDateOf(std::time_t modified) {
  // Asked for every summary served; the dates of one system are all of the one time.
  thread_local std::optional<std::pair<std::time_t, FileDate>> last;
  if (last && last->first == modified) return last->second;
  const CalendarTime date = LocalDateOf(modified);
  if (date.Year < 0 || date.Year > std::numeric_limits<std::uint16_t>::max()) {
    throw std::range_error("file date outside the years 0 to 65535");
  }
  const FileDate fileDate{static_cast<std::uint16_t>(date.Year),
                          static_cast<std::uint8_t>(date.Month),
                          static_cast<std::uint8_t>(date.Day)};
  last.emplace(modified, fileDate);
  return fileDate;
}

}  // namespace varo
