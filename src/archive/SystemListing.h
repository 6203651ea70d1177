// The system files of one game folder: which names they are, and their archive order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveFolders.h"

namespace varo {

struct Listing {
  std::string Folder;
  std::vector<std::string> Names;
};

// The system files of the game among the regular files of its folder: names that match the game's
// mask and are not hidden, in the order given.
std::vector<std::string> SystemFilesAmong(std::vector<std::string> names, std::uint8_t gameKind);

// Puts names in archive order.
void SortInArchiveOrder(std::vector<std::string>& names);

// The name that comes first in archive order among those whose code has the same 32-bit pattern
// as code, found in one pass over names in any order; nullptr when none has it.
const std::string* FirstWithCode(const std::vector<std::string>& names, std::int32_t code);

// True when a name matches a mask of "*" runs and literal characters, ASCII letters in any case.
bool MatchesMask(std::string_view name, std::string_view mask);

// Archive order: A-Z folded to a-z, then unsigned bytes; names equal so far by their raw bytes.
bool ListsBefore(std::string_view a, std::string_view b);

}  // namespace varo
