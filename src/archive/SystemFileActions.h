// Deleting a system file and taking its date.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace varo {

struct FileDate {
  std::uint16_t Year;
  std::uint8_t Month;
  std::uint8_t Day;
};

// Deletes a system file; one already gone counts as deleted, any other failure throws.
void DeleteSystemFile(const std::string& path);

// The local date of a file's last modification; throws when the file cannot be examined.
FileDate SystemFileDate(const std::string& path);

// The local date of a modification time; throws std::range_error when its year does not fit 16
// bits.
FileDate FileDateOf(std::time_t modified);

}  // namespace varo
