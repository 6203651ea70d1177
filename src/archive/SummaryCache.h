// Column totals of system files kept between requests, for files that have not changed since.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>

#include "archive/ColumnSums.h"
#include "archive/SystemSummary.h"
#include "platform/FileAccess.h"

namespace varo {

// Reads the totals of a whole open system file of a game (1 Totocalcio, any other value Totogol).
using TotalsReader = std::function<ColumnTotals(ReadOnlyFile& file, std::uint8_t gameKind)>;

inline constexpr std::size_t MaxKeptSummaries = 100'000;

// A file may change again within the resolution of its time stamps without its change time
// showing it; totals are kept only of a file whose change time is this much older than the count.
inline constexpr std::int64_t SettledSeconds = 2;

// Totals of one file and the modification time of the file they were taken from.
struct FileTotals {
  ColumnTotals Totals;
  std::time_t Modified;
};

// Keeps the totals by game and file, used only while the file's device, number, size,
// modification and change times are all as they were. Not thread-safe: requests are handled one
// at a time.
class SummaryCache {
 public:
  explicit SummaryCache(std::size_t capacity = MaxKeptSummaries,
                        std::function<FileTime()> now = FileClockNow,
                        TotalsReader read = ReadColumnTotals);

  // Opens the file and gives its totals: the kept ones when the file is unchanged, else read
  // whole, and kept when the file had settled before the count began and did not change during
  // it. The least recently used totals leave when the capacity is reached. Throws, keeping
  // nothing, when the file cannot be opened or read.
  FileTotals TotalsOf(const std::string& path, std::uint8_t gameKind);

  // Number of files whose totals are kept.
  std::size_t Size() const { return index_.size(); }

 private:
  struct Key {
    std::uint8_t Game;
    std::uint64_t Device;
    std::uint64_t FileNumber;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  struct Kept {
    Key Slot;
    FileIdentity Identity;
    ColumnTotals Totals;
  };

  void Keep(const Key& key, const FileIdentity& identity, const ColumnTotals& totals);

  std::size_t capacity_;
  std::function<FileTime()> now_;
  TotalsReader read_;
  std::list<Kept> used_;  // most recently used first
  std::unordered_map<Key, std::list<Kept>::iterator, KeyHash> index_;
};

}  // namespace varo
