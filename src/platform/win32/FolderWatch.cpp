#include "platform/FolderWatch.h"

#include <map>

#include "platform/FileAccess.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/VolumeAnswers.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

using win32::LongPathOf;
using win32::ThrowLastError;

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Names (files and folders) coming and going, and attributes: a file made hidden leaves the
// listing.
constexpr DWORD WatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES;

// The identity of an open folder; nothing when it is not a folder or cannot be examined.
std::optional<FolderIdentity> IdentityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::nullopt;
  return FolderIdentity{
      info.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// One folder watched for a change: a notification request pending on its open handle, whose
// completion, of whatever kind, means the folder may have changed.
struct Watch {
  HANDLE Folder = INVALID_HANDLE_VALUE;
  HANDLE Completed = nullptr;
  OVERLAPPED Pending{};
  alignas(DWORD) unsigned char Notes[4096];

  ~Watch() {
    if (Folder == INVALID_HANDLE_VALUE) return;
    // The request must be over before its buffer goes.
    DWORD ignored = 0;
    if (CancelIoEx(Folder, &Pending) || GetLastError() != ERROR_NOT_FOUND) {
      GetOverlappedResult(Folder, &Pending, &ignored, TRUE);
    }
    CloseHandle(Folder);
    if (Completed != nullptr) CloseHandle(Completed);
  }
};

}  // namespace

std::optional<FolderIdentity> FolderIdentityOf(const std::string& path) {
  HANDLE folder = INVALID_HANDLE_VALUE;
  try {
    folder = CreateFileW(LongPathOf(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (folder == INVALID_HANDLE_VALUE) return std::nullopt;
  const auto identity = IdentityOfHandle(folder);
  CloseHandle(folder);
  return identity;
}

struct FolderWatcher::Native {
  std::map<int, std::unique_ptr<Watch>> Watches;
  int Next = 1;
};

FolderWatcher::FolderWatcher() : native_(std::make_unique<Native>()) {}

FolderWatcher::~FolderWatcher() = default;

FolderReading FolderWatcher::Read(const std::string& folder) {
  auto watch = std::make_unique<Watch>();
  watch->Folder =
      CreateFileW(LongPathOf(folder).c_str(), FILE_LIST_DIRECTORY, ShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (watch->Folder == INVALID_HANDLE_VALUE) ThrowLastError("cannot list " + folder);
  const auto identity = IdentityOfHandle(watch->Folder);
  if (!identity) win32::ThrowError(ERROR_DIRECTORY, "cannot list " + folder);
  FolderReading reading{*identity, std::nullopt, {}};

  bool watched = false;
  if (MayKeepReadingsOn(win32::VolumeKindOfHandle(watch->Folder, folder))) {
    watch->Completed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch->Pending.hEvent = watch->Completed;
    watched = watch->Completed != nullptr &&
              ReadDirectoryChangesW(watch->Folder, watch->Notes, sizeof watch->Notes, FALSE,
                                    WatchedChanges, nullptr, &watch->Pending, nullptr);
  }
  // The system's folder scan goes by path: the listing counts as the watched folder's only when
  // the path still leads there afterwards.
  reading.Names = RegularFileNames(folder);
  if (watched && FolderIdentityOf(folder) == reading.Identity) {
    const int id = native_->Next++;
    native_->Watches.emplace(id, std::move(watch));
    reading.Watch = id;
  }
  return reading;
}

void FolderWatcher::Release(int watch) {
  native_->Watches.erase(watch);
}

FolderChanges FolderWatcher::Poll() {
  FolderChanges changes;
  // A completed request, whether it carries names, an overflow (no names) or an error such as
  // the folder's deletion, is a change; it stays reported until the watch is released.
  for (const auto& [id, watch] : native_->Watches) {
    if (WaitForSingleObject(watch->Completed, 0) != WAIT_TIMEOUT) changes.Watches.push_back(id);
  }
  return changes;
}

}  // namespace varo
