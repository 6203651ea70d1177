// Column totals of system files kept between requests, for files that have not changed since.
#pragma once

#include <chrono>
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

// Writes through a shared memory mapping may change a file without changing its times: kept totals
// are counted afresh once they are this old, on a clock that no setting of the date moves.
inline constexpr std::chrono::minutes KeptTotalsLife{5};

// The clocks, the reading and the volume question a cache uses; tests replace them.
struct SummaryCacheSeams {
  std::function<FileTime()> FileClock = FileClockNow;
  std::function<std::chrono::steady_clock::time_point()> Monotonic = std::chrono::steady_clock::now;
  TotalsReader Read = ReadColumnTotals;
  std::function<VolumeKind(const ReadOnlyFile&)> Volume = [](const ReadOnlyFile& file) {
    return file.Volume();
  };
};

// One page of a list: its folder, held open so each entry is examined and opened by its name alone,
// and the kinds of the volumes the page met, so each device is asked once a page and a file of
// another device is still judged by its own.
struct ListPage {
  explicit ListPage(const std::string& folder) : Entries(folder) {}
  OpenFolder Entries;
  std::unordered_map<std::uint64_t, VolumeKind> Volumes;
};

// Totals of one file and the modification time of the file they were taken from.
struct FileTotals {
  ColumnTotals Totals;
  std::time_t Modified;
};

// Keeps the totals by game and file, used only while the file's device, number, size,
// modification and change times are all as they were, for files on volumes whose times show every
// change, and for at most KeptTotalsLife. Not thread-safe: requests are handled one at a time.
class SummaryCache {
 public:
  explicit SummaryCache(std::size_t capacity = MaxKeptSummaries, SummaryCacheSeams seams = {});

  // Opens the file and gives its totals: the kept ones when the file is unchanged and they are
  // young enough, else read whole, and kept when the volume allows it, the file had settled before
  // the count began and did not change during it. The least recently used totals leave when the
  // capacity is reached. Throws, keeping nothing, when the file cannot be opened or read.
  FileTotals TotalsOf(const std::string& path, std::uint8_t gameKind);

  // The same for the file name of a list page: one whose totals are kept, unchanged by its name's
  // one examination and on a device the page found trustworthy, is not read; any other, and the
  // page's first, is opened as above relative to the page's folder, which teaches the page its
  // device's kind.
  FileTotals TotalsOf(ListPage& page, const std::string& name, std::uint8_t gameKind);

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
    std::chrono::steady_clock::time_point Counted;
  };

  // The two clocks at one moment.
  struct Moment {
    FileTime File;
    std::chrono::steady_clock::time_point Monotonic;
  };
  Moment Now() const;
  // Opens the file name of the page relative to its folder and gives its totals.
  FileTotals OpenedTotalsOf(ListPage& page, const std::string& name, std::uint8_t gameKind);
  // The totals of the file opened after counted, telling page, when there is one, of its volume.
  FileTotals OpenedTotalsOf(ReadOnlyFile& file, std::uint8_t gameKind, ListPage* page,
                            const Moment& counted);
  void Keep(const Key& key, const FileIdentity& identity, const ColumnTotals& totals,
            std::chrono::steady_clock::time_point counted);

  std::size_t capacity_;
  SummaryCacheSeams seams_;
  std::list<Kept> used_;  // most recently used first
  std::unordered_map<Key, std::list<Kept>::iterator, KeyHash> index_;
};

}  // namespace varo
