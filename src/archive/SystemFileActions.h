// Deleting a system file and taking its date.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/Trash.h"

namespace varo {

struct FileDate {
  std::uint16_t Year;
  std::uint8_t Month;
  std::uint8_t Day;
};

// How a deleted system leaves the archive.
enum class Deletion {
  ToTrash,  // into the desktop's trash, from which the user can restore it
  ForGood,
};

// Deletes a system file as deletion says (to the trash, deleted for good where none takes it);
// one already gone counts as deleted, any other failure throws. Returns where it went.
Disposal DeleteSystemFile(const std::string& path, Deletion deletion = Deletion::ForGood);

// The local date of a file's last modification; throws when the file cannot be examined.
FileDate SystemFileDate(const std::string& path);

// The local date of a modification time; throws std::range_error when its year does not fit 16
// bits.
FileDate FileDateOf(std::time_t modified);

}  // namespace varo
