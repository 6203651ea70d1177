// Linux: the lines of /proc/self/maps, read without allocating, so that a crash can name the
// module each address of its stack lies in.
#pragma once

#include <cstdint>
#include <string_view>

namespace varo {

// One mapped range of the process and the file it maps ("" for anonymous memory).
struct MappedRange {
  std::uint64_t Start;
  std::uint64_t End;  // one past the last byte
  std::uint64_t FileOffset;
  std::string_view Path;  // a view into the line read
};

// Reads a line of the form "start-end perms offset device inode   path"; false for any other.
bool ParseMapsLine(std::string_view line, MappedRange& range);

}  // namespace varo
