#include "SystemArchive.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "archive/SystemCode.h"
#include "archive/SystemFileActions.h"
#include "archive/TrustedVolumes.h"
#include "platform/Paths.h"

namespace varo {

namespace {

// Folders are watched, and their listings kept, on the volumes whose times the archive trusts,
// unless the owner says otherwise.
FolderWatchSeams OnTrustedVolumes(FolderWatchSeams seams) {
  if (!seams.MayKeep) seams.MayKeep = MayKeepReadingsOn;
  return seams;
}

}  // namespace

SystemArchive::SystemArchive(ArchiveFolders folders, SummaryCacheSeams summarySeams,
                             FolderWatchSeams watchSeams)
    : folders_(std::move(folders)),
      summaries_(MaxKeptSummaries, std::move(summarySeams)),
      watcher_(folders_.Documents, OnTrustedVolumes(std::move(watchSeams))) {
  for (std::uint8_t game : {GameTotocalcio, GameTotogol}) {
    SlotOf(game).Kept.Folder = GameFolder(folders_, game);
  }
}

void SystemArchive::TakeChanges() {
  const FolderChanges changes = watcher_.Poll();
  for (Slot& slot : slots_) {
    if (!slot.Watch) continue;
    if (changes.All || std::find(changes.Watches.begin(), changes.Watches.end(), *slot.Watch) !=
                           changes.Watches.end()) {
      Forget(slot);
    }
  }
}

bool SystemArchive::Current(const Slot& slot) const {
  // Renaming a parent and making a new folder in its place moves nothing the watch sees.
  return slot.Watch && FolderIdentityOf(slot.Kept.Folder) == slot.Identity;
}

void SystemArchive::Forget(Slot& slot) {
  if (slot.Watch) watcher_.Release(*slot.Watch);
  slot.Watch.reset();
  slot.Kept.Names = {};
  slot.Codes = {};
}

std::vector<std::string> SystemArchive::ReadFolder(Slot& slot, std::uint8_t gameKind) {
  Forget(slot);
  // No Documents folder is no game folder: an empty path would read the current folder.
  if (slot.Kept.Folder.empty()) {
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                            "the system names no Documents folder");
  }
  FolderReading reading = watcher_.Read(slot.Kept.Folder);
  ++readings_;
  std::vector<std::string> names = SystemFilesAmong(std::move(reading.Names), gameKind);
  if (!reading.Watch) return names;
  slot.Watch = reading.Watch;
  slot.Identity = reading.Identity;
  Keep(slot, std::move(names));
  return {};
}

void SystemArchive::Keep(Slot& slot, std::vector<std::string> names) {
  SortInArchiveOrder(names);
  slot.Codes.resize(names.size());
  std::transform(names.begin(), names.end(), slot.Codes.begin(),
                 [](const std::string& name) { return GetCodice(name); });
  slot.Kept.Names = std::move(names);
  slot.Kept.Names.shrink_to_fit();
}

const Listing& SystemArchive::List(std::uint8_t gameKind) {
  TakeChanges();
  Slot& slot = SlotOf(gameKind);
  if (Current(slot)) return slot.Kept;
  std::vector<std::string> names = ReadFolder(slot, gameKind);
  if (slot.Watch) return slot.Kept;
  SortInArchiveOrder(names);
  fresh_ = Listing{slot.Kept.Folder, std::move(names)};
  return fresh_;
}

std::string SystemArchive::Code2Filename(std::int32_t code, std::uint8_t gameKind) {
  TakeChanges();
  Slot& slot = SlotOf(gameKind);
  if (!Current(slot)) {
    // Not kept: the first in archive order is found in one pass, without sorting the folder.
    const std::vector<std::string> names = ReadFolder(slot, gameKind);
    if (!slot.Watch) {
      const std::string* found = FirstWithCode(names, code);
      return found != nullptr ? JoinPath(slot.Kept.Folder, *found) : std::string();
    }
  }
  const auto found = std::find(slot.Codes.begin(), slot.Codes.end(), code);
  if (found == slot.Codes.end()) return {};
  return JoinPath(slot.Kept.Folder,
                  slot.Kept.Names[static_cast<std::size_t>(found - slot.Codes.begin())]);
}

Disposal SystemArchive::Delete(const std::string& path) {
  // Wine hands a deletion's notification on a moment after the deletion returns.
  for (Slot& slot : slots_) Forget(slot);
  return DeleteSystemFile(path, deletion_);
}

}  // namespace varo
