#include "SummaryCache.h"

#include <optional>
#include <utility>

#include "archive/ArchiveFolders.h"
#include "archive/TrustedVolumes.h"

namespace varo {

namespace {

// Whether a file changed at `changed` had settled by `counted`.
bool SettledBy(const FileTime& changed, const FileTime& counted) {
  return FileTime{changed.Seconds + SettledSeconds, changed.Nanoseconds} <= counted;
}

}  // namespace

std::size_t SummaryCache::KeyHash::operator()(const Key& key) const {
  std::size_t hash = std::hash<std::uint64_t>{}(key.FileNumber);
  hash ^= std::hash<std::uint64_t>{}(key.Device) + 0x9E3779B97F4A7C15u + (hash << 6) + (hash >> 2);
  return hash ^ key.Game;
}

SummaryCache::SummaryCache(std::size_t capacity, SummaryCacheSeams seams)
    : capacity_(capacity), seams_(std::move(seams)) {}

SummaryCache::Moment SummaryCache::Now() const {
  return {seams_.FileClock(), seams_.Monotonic()};
}

FileTotals SummaryCache::TotalsOf(const std::string& path, std::uint8_t gameKind) {
  // Taken before the file is opened and examined, so that a change after this moment cannot carry
  // the change time seen then.
  const Moment counted = Now();
  ReadOnlyFile file(path);
  return OpenedTotalsOf(file, gameKind, nullptr, counted);
}

FileTotals SummaryCache::TotalsOf(ListPage& page, const std::string& name, std::uint8_t gameKind) {
  // The page's first entry is opened at once: it teaches the page its volume, and an examination
  // could not be used before that.
  if (page.Volumes.empty()) return OpenedTotalsOf(page, name, gameKind);
  // A link put in the file's place is no regular file here, and is refused by the opening below.
  if (const std::optional<FileIdentity> seen = page.Entries.RegularFileIdentityOf(name)) {
    const Key key{gameKind == GameTotocalcio ? GameTotocalcio : GameTotogol, seen->Device,
                  seen->FileNumber};
    const auto found = index_.find(key);
    const auto volume = page.Volumes.find(seen->Device);
    if (found != index_.end() && volume != page.Volumes.end() &&
        MayKeepReadingsOn(volume->second) && found->second->Identity == *seen &&
        seams_.Monotonic() - found->second->Counted < KeptTotalsLife) {
      used_.splice(used_.begin(), used_, found->second);
      return {found->second->Totals, static_cast<std::time_t>(seen->Modified.Seconds)};
    }
  }
  return OpenedTotalsOf(page, name, gameKind);
}

FileTotals SummaryCache::OpenedTotalsOf(ListPage& page, const std::string& name,
                                        std::uint8_t gameKind) {
  const Moment counted = Now();
  // Relative to the held folder: its path is not walked again.
  ReadOnlyFile file(page.Entries, name);
  return OpenedTotalsOf(file, gameKind, &page, counted);
}

FileTotals SummaryCache::OpenedTotalsOf(ReadOnlyFile& file, std::uint8_t gameKind, ListPage* page,
                                        const Moment& counted) {
  // Opened whatever is kept: the identity is that of the file open now, and a file that cannot be
  // opened fails as it would without kept totals.
  const FileIdentity before = file.OpenedIdentity();
  // Asked each time: the path may now lead to another volume.
  const VolumeKind volume = seams_.Volume(file);
  if (page != nullptr) page->Volumes[before.Device] = volume;
  const bool keepable = MayKeepReadingsOn(volume);
  // A file linked into both folders has different totals in each game.
  const Key key{gameKind == GameTotocalcio ? GameTotocalcio : GameTotogol, before.Device,
                before.FileNumber};
  if (const auto found = index_.find(key); found != index_.end()) {
    if (keepable && found->second->Identity == before &&
        counted.Monotonic - found->second->Counted < KeptTotalsLife) {
      used_.splice(used_.begin(), used_, found->second);
      return {found->second->Totals, static_cast<std::time_t>(before.Modified.Seconds)};
    }
    used_.erase(found->second);
    index_.erase(found);
  }

  const ColumnTotals totals = seams_.Read(file, gameKind);
  const FileIdentity after = file.Identity();
  if (keepable && after == before && SettledBy(before.Changed, counted.File)) {
    Keep(key, before, totals, counted.Monotonic);
  }
  return {totals, static_cast<std::time_t>(after.Modified.Seconds)};
}

void SummaryCache::Keep(const Key& key, const FileIdentity& identity, const ColumnTotals& totals,
                        std::chrono::steady_clock::time_point counted) {
  if (capacity_ == 0) return;
  if (index_.size() >= capacity_) {
    index_.erase(used_.back().Slot);
    used_.pop_back();
  }
  used_.push_front(Kept{key, identity, totals, counted});
  index_.emplace(key, used_.begin());
}

}  // namespace varo
