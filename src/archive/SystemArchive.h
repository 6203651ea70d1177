// The archive as the request handlers see it, and the one way to list and look up systems: the two
// game folders, with their listings and the summaries of their systems kept between requests
// while nothing shows a change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveFolders.h"
#include "archive/SummaryCache.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "platform/FolderWatch.h"

namespace varo {

// A game folder's listing is kept while the folder is watched and nothing in it has changed, and
// each request checks that the folder's path still leads to the watched folder; so every reply is
// the one a fresh listing would give. On volumes whose listings are not kept the folder is read
// for every request. Not thread-safe: requests are handled one at a time.
class SystemArchive {
 public:
  explicit SystemArchive(ArchiveFolders folders, SummaryCacheSeams summarySeams = {},
                         FolderWatchSeams watchSeams = {});

  const ArchiveFolders& Folders() const { return folders_; }
  SummaryCache& Summaries() { return summaries_; }

  // The game's listing in archive order, valid until the next call; throws std::system_error when
  // the folder cannot be read.
  const Listing& List(std::uint8_t gameKind);

  // The full path of the first system in archive order whose code has the 32-bit pattern of code,
  // or "" when the game has none; throws std::system_error when the folder cannot be read.
  std::string Code2Filename(std::int32_t code, std::uint8_t gameKind);

  // Deletes a system file found in the archive as SetDeletion said (one already gone counts as
  // deleted, any other failure throws) and throws both listings away: the next request lists
  // without it, whenever the notification of the deletion comes. Returns where it went.
  Disposal Delete(const std::string& path);
  // How Delete deletes: for good unless told otherwise.
  void SetDeletion(Deletion deletion) { deletion_ = deletion; }

  // Times a game folder was read from the file system.
  std::size_t FolderReadings() const { return readings_; }

 private:
  struct Slot {
    Listing Kept;
    std::vector<std::int32_t> Codes;  // of Kept.Names, position by position
    std::optional<int> Watch;         // set while Kept holds a listing that may be used
    FolderIdentity Identity{};
  };

  Slot& SlotOf(std::uint8_t gameKind) { return slots_[gameKind == GameTotocalcio ? 0 : 1]; }
  // Throws away every listing whose folder reported a change.
  void TakeChanges();
  // Whether the slot's listing may answer for its folder's path now.
  bool Current(const Slot& slot) const;
  void Forget(Slot& slot);
  // Reads the folder; keeps the listing when it is watched, else returns the names unsorted.
  std::vector<std::string> ReadFolder(Slot& slot, std::uint8_t gameKind);
  void Keep(Slot& slot, std::vector<std::string> names);

  ArchiveFolders folders_;
  SummaryCache summaries_;
  FolderWatcher watcher_;
  std::array<Slot, 2> slots_;
  Listing fresh_;  // the last listing not kept, for List's answer
  std::size_t readings_ = 0;
  Deletion deletion_ = Deletion::ForGood;
};

}  // namespace varo
