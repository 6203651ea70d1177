// The columns of one ticket of a system file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ColumnRecord.h"

namespace varo {

inline constexpr std::size_t ColumnsPerTicket = 64;

// The columns of ticket number ticket (from 1), in file order: none for ticket 0 or one past the
// last; a short final record reads with its missing bytes 0. Throws when the file cannot be read.
std::vector<ColumnRecord> ReadTicketColumns(const std::string& path, std::uint16_t ticket);

}  // namespace varo
