#include "platform/posix/ProcessMaps.h"

namespace varo {

namespace {

// Reads hexadecimal digits at position up to stop; false when there are none.
bool ReadHex(std::string_view line, std::size_t& position, char stop, std::uint64_t& value) {
  value = 0;
  const std::size_t first = position;
  for (; position < line.size() && line[position] != stop; ++position) {
    const char c = line[position];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  if (position == first || position == line.size()) return false;
  ++position;  // past the stop
  return true;
}

// Moves past the next field and the blanks after it.
void SkipField(std::string_view line, std::size_t& position) {
  while (position < line.size() && line[position] != ' ') ++position;
  while (position < line.size() && line[position] == ' ') ++position;
}

}  // namespace

bool ParseMapsLine(std::string_view line, MappedRange& range) {
  std::size_t position = 0;
  if (!ReadHex(line, position, '-', range.Start) || !ReadHex(line, position, ' ', range.End)) {
    return false;
  }
  SkipField(line, position);  // permissions
  if (!ReadHex(line, position, ' ', range.FileOffset)) return false;
  SkipField(line, position);  // device
  SkipField(line, position);  // inode, and the blanks before the path
  range.Path = line.substr(position);
  return range.Start < range.End;
}

}  // namespace varo
