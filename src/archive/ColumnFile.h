// Reading the column records of a system file in whole records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/ColumnRecord.h"
#include "archive/ColumnSums.h"
#include "platform/FileAccess.h"

namespace varo {

// Records read per block by a whole-file pass (896 KiB): large blocks, never one read per record;
// fewer system calls weigh more in a large summary than keeping the block in the nearest cache.
inline constexpr std::size_t RecordsPerBlock = 65536;

// Number of columns in a run of bytes: a short final record still counts as one.
inline std::size_t ColumnsIn(std::size_t bytes) {
  return (bytes + ColumnRecordSize - 1) / ColumnRecordSize;
}

// Zeroes the bytes that a short final record lacks, so it reads as a whole record.
inline void CompleteLastRecord(std::uint8_t* records, std::size_t bytes) {
  const std::size_t whole = ColumnsIn(bytes) * ColumnRecordSize;
  for (std::size_t i = bytes; i < whole; ++i) records[i] = 0;
}

// Reads the file from its current position to its end and hands each block of whole records to
// visit(const std::uint8_t* records, std::size_t count); ColumnReadSlack bytes follow each block.
template <typename Visit>
void ForEachRecordBlock(ReadOnlyFile& file, Visit visit) {
  const std::size_t capacity = RecordsPerBlock * ColumnRecordSize;
  std::vector<std::uint8_t> block(capacity + ColumnReadSlack);
  for (;;) {
    const std::size_t got = file.ReadFully(block.data(), capacity);
    if (got == 0) return;
    CompleteLastRecord(block.data(), got);
    visit(static_cast<const std::uint8_t*>(block.data()), ColumnsIn(got));
    if (got < capacity) return;
  }
}

}  // namespace varo
