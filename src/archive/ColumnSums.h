// Combination sums over runs of column records: the inner loop of every summary.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varo {

// Main and side combinations added up modulo 2^32, as the summary fields carry them.
struct CombinationSums {
  std::uint32_t Main = 0;
  std::uint32_t Side = 0;
};

// What a summary takes from the contents of a system file: the sums and the number of columns.
struct ColumnTotals {
  CombinationSums Sums;
  std::uint64_t Columns = 0;
};

// Readable bytes that must follow the last record handed to the functions below: where the
// processor has 16-byte shuffles a record is loaded in one 16-byte step (the 2 extra bytes are
// ignored).
inline constexpr std::size_t ColumnReadSlack = 2;

// Adds count Totocalcio records: all their main combinations, the side ones of flagged records.
void AddTotocalcioColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count);

// Adds count Totogol records likewise.
void AddTotogolColumns(CombinationSums& sums, const std::uint8_t* records, std::size_t count);

// The same sums without vector instructions; used where the processor lacks them.
void AddTotocalcioColumnsPortable(CombinationSums& sums, const std::uint8_t* records,
                                  std::size_t count);
void AddTotogolColumnsPortable(CombinationSums& sums, const std::uint8_t* records,
                               std::size_t count);

// True when the functions above take the vector path on this processor.
bool HasVectorColumnSums();

}  // namespace varo
