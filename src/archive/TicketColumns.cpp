#include "TicketColumns.h"

#include <algorithm>
#include <array>

#include "archive/ColumnFile.h"
#include "platform/FileAccess.h"

namespace varo {

std::vector<ColumnRecord> ReadTicketColumns(const std::string& path, std::uint16_t ticket) {
  // Opened even for ticket 0, so that a file that cannot be read fails the same way every time.
  ReadOnlyFile file(path);
  std::vector<ColumnRecord> columns;
  if (ticket == 0) return columns;

  std::array<std::uint8_t, ColumnsPerTicket * ColumnRecordSize> bytes{};
  const std::uint64_t offset =
      static_cast<std::uint64_t>(ticket - 1) * ColumnsPerTicket * ColumnRecordSize;
  // No more than the file held when opened: the last ticket then takes one read, not a second
  // one that only finds the end.
  const std::uint64_t size = file.OpenedIdentity().Size;
  const auto want = static_cast<std::size_t>(
      offset < size ? std::min<std::uint64_t>(bytes.size(), size - offset) : 0);
  const std::size_t got = want > 0 ? file.ReadFullyAt(offset, bytes.data(), want) : 0;
  CompleteLastRecord(bytes.data(), got);
  columns.resize(ColumnsIn(got));
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * ColumnRecordSize), ColumnRecordSize,
                columns[i].begin());
  }
  return columns;
}

}  // namespace varo
