// Finding a system file by its code.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveFolders.h"

namespace varo {

// The full path of the first file in archive order whose code has the same 32-bit pattern as code,
// or "" when the game has none; throws std::system_error when the folder cannot be read.
std::string Code2Filename(const ArchiveFolders& folders, std::int32_t code, std::uint8_t gameKind);

}  // namespace varo
