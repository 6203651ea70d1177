// Change notifications of the game folders, so that a folder's listing may be kept until something
// in it changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/VolumeKind.h"

namespace varo {

// Which folder a path leads to: its volume and its file number there, of 128 bits on Windows (ReFS
// does not promise unique 64-bit numbers); FileNumberHigh is 0 on Linux.
struct FolderIdentity {
  std::uint64_t Device;
  std::uint64_t FileNumber;
  std::uint64_t FileNumberHigh;
  bool operator==(const FolderIdentity&) const = default;
};

// The folder a path leads to now; nothing when it leads to no folder.
std::optional<FolderIdentity> FolderIdentityOf(const std::string& path);

// One reading of a folder, all through one handle: which folder it was, the watch set on it, and
// the names of its regular files (links and everything else left out, links not followed; on
// Windows hidden and system files too).
struct FolderReading {
  FolderIdentity Identity;
  std::optional<int> Watch;  // none on volumes whose readings are not kept, or when none can be set
  std::vector<std::string> Names;
};

// What changed since the last poll.
struct FolderChanges {
  std::vector<int> Watches;  // watches that saw a change, or ended
  bool All = false;          // notifications were lost: every watch counts as changed
};

// What a watcher leaves to its owner: which volumes are watched, and a moment within a reading.
struct FolderWatchSeams {
  // Whether readings of a folder on this kind of volume may be kept, and so the folder watched;
  // the owner's rule. Unset, no folder is watched.
  std::function<bool(VolumeKind)> MayKeep;
  // Runs once a folder's names are read, before the reading is handed back.
  std::function<void(const std::string& folder)> AfterListing;
  // Windows: whether the system reports changes anywhere below a folder watched with its subtree;
  // unset, as the system answers (Wine reports a watched folder's own entries only).
  std::optional<bool> SubtreeReported;
};

// Watches folders for created, deleted, renamed and re-attributed entries and for the folder's own
// deletion or move; one instance serves every folder. Not thread-safe: requests are handled one at
// a time.
class FolderWatcher {
 public:
  // root is the folder every watched folder lies below (the user's Documents). Windows watches it,
  // with its subtree, in place of each folder, and watches nothing that does not lie below it: a
  // handle held on a folder would stop its parents from being renamed or moved. Linux, and Wine,
  // watch each folder itself.
  explicit FolderWatcher(std::string root, FolderWatchSeams seams = {});
  ~FolderWatcher();
  FolderWatcher(const FolderWatcher&) = delete;
  FolderWatcher& operator=(const FolderWatcher&) = delete;

  // Opens the folder, takes its identity, watches it when its volume is one whose readings may be
  // kept, then lists it; throws std::system_error when it cannot be listed. A folder watched twice
  // shares one watch, released once per reading that set it.
  FolderReading Read(const std::string& folder);

  // Ends a watch that a reading set.
  void Release(int watch);

  // Takes every notification that has come, without waiting.
  FolderChanges Poll();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace varo
