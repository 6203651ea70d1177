#include "SummaryCache.h"

#include <utility>

#include "archive/ArchiveFolders.h"

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

SummaryCache::SummaryCache(std::size_t capacity, std::function<FileTime()> now, TotalsReader read)
    : capacity_(capacity), now_(std::move(now)), read_(std::move(read)) {}

FileTotals SummaryCache::TotalsOf(const std::string& path, std::uint8_t gameKind) {
  // Taken before the file is opened and examined, so that a change after this moment cannot carry
  // the change time seen below.
  const FileTime counted = now_();
  // Opened whatever is kept: the identity is that of the file open now, and a file that cannot be
  // opened fails as it would without kept totals.
  ReadOnlyFile file(path);
  const FileIdentity before = file.OpenedIdentity();
  // A file linked into both folders has different totals in each game.
  const Key key{gameKind == GameTotocalcio ? GameTotocalcio : GameTotogol, before.Device,
                before.FileNumber};
  if (const auto found = index_.find(key); found != index_.end()) {
    if (found->second->Identity == before) {
      used_.splice(used_.begin(), used_, found->second);
      return {found->second->Totals, static_cast<std::time_t>(before.Modified.Seconds)};
    }
    used_.erase(found->second);
    index_.erase(found);
  }

  const ColumnTotals totals = read_(file, gameKind);
  const FileIdentity after = file.Identity();
  if (after == before && SettledBy(before.Changed, counted)) Keep(key, before, totals);
  return {totals, static_cast<std::time_t>(after.Modified.Seconds)};
}

void SummaryCache::Keep(const Key& key, const FileIdentity& identity, const ColumnTotals& totals) {
  if (capacity_ == 0) return;
  if (index_.size() >= capacity_) {
    index_.erase(used_.back().Slot);
    used_.pop_back();
  }
  used_.push_front(Kept{key, identity, totals});
  index_.emplace(key, used_.begin());
}

}  // namespace varo
