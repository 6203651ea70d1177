// Reading the column records of a system file in whole records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/ColumnRecord.h"
#include "archive/ColumnSums.h"
#include "platform/FileAccess.h"

namespace varo {

// Records read per block by a whole-file pass: large blocks, never one read per record, yet small
// enough for the allocator to reuse them instead of mapping fresh pages for every summary.
inline constexpr std::size_t RecordsPerBlock = 8192;

// Number of columns in a run of bytes: a short final record still counts as one.
inline std::size_t ColumnsIn(std::size_t bytes) {
  return (bytes + ColumnRecordSize - 1) / ColumnRecordSize;
}

// Zeroes the bytes that a short final record lacks, so it reads as a whole record.
inline void CompleteLastRecord(std::uint8_t* records, std::size_t bytes) {
  const std::size_t whole = ColumnsIn(bytes) * ColumnRecordSize;
  for (std::size_t i = bytes; i < whole; ++i) records[i] = 0;
}

// Reads the bytes from begin up to end (or the file's end, if sooner) by position, so that two
// parts of one file can be read at once, and hands each block of whole records to
// visit(const std::uint8_t* records, std::size_t count); ColumnReadSlack bytes follow each block.
// begin is a record boundary.
template <typename Visit>
void ForEachRecordBlockIn(ReadOnlyFile& file, std::uint64_t begin, std::uint64_t end, Visit visit) {
  const std::size_t capacity = RecordsPerBlock * ColumnRecordSize;
  std::vector<std::uint8_t> block(capacity + ColumnReadSlack);
  for (std::uint64_t offset = begin; offset < end;) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, end - offset));
    const std::size_t got = file.ReadFullyAt(offset, block.data(), want);
    if (got == 0) return;
    CompleteLastRecord(block.data(), got);
    visit(static_cast<const std::uint8_t*>(block.data()), ColumnsIn(got));
    if (got < want) return;
    offset += got;
  }
}

}  // namespace varo
