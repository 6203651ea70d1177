// Change notifications of the game folders, so that a folder's listing may be kept until something
// in it changes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/VolumeKind.h"

namespace varo {

// Which folder a path leads to: its volume and its file number there.
struct FolderIdentity {
  std::uint64_t Device;
  std::uint64_t FileNumber;
  bool operator==(const FolderIdentity&) const = default;
};

// The folder a path leads to now; nothing when it leads to no folder.
std::optional<FolderIdentity> FolderIdentityOf(const std::string& path);

// One reading of a folder, all through one handle: which folder it was, the watch set on it, and
// the names of its regular files (as RegularFileNames gives them).
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

// Watches folders for created, deleted, renamed and re-attributed entries and for the folder's own
// deletion or move; one instance serves every folder. Not thread-safe: requests are handled one at
// a time.
class FolderWatcher {
 public:
  FolderWatcher();
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
