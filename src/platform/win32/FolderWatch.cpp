#include "platform/FolderWatch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "archive/WatchScope.h"
#include "platform/Paths.h"
#include "platform/win32/FolderScan.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/VolumeAnswers.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

using win32::LongPathOf;

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Names (files and folders) coming and going, and attributes: a file made hidden leaves the
// listing.
constexpr DWORD WatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES;

// Room for the notifications of one request; more changes than fit between two requests count as
// lost, which costs both games one fresh reading. 64 KiB is the most a watch on a share may ask.
constexpr std::size_t NotesBytes = 64 * 1024;

// Completed requests taken in one poll before the rest count as lost, so a folder that never
// stops changing cannot hold a request up.
constexpr int MostCompletionsAPoll = 64;

class OpenHandle {
 public:
  explicit OpenHandle(HANDLE handle) : handle_(handle) {}
  ~OpenHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OpenHandle(const OpenHandle&) = delete;
  OpenHandle& operator=(const OpenHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The identity of an open folder, by the 128-bit file id where the volume gives one; nothing when
// it is not a folder or cannot be examined.
std::optional<FolderIdentity> IdentityOfHandle(HANDLE handle) {
  // Two queries of the handle where the volume keeps 128-bit ids: whether it is a folder, then
  // the volume's serial number and the id in one answer.
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) ||
      !standard.Directory) {
    return std::nullopt;
  }
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
    FolderIdentity identity{id.VolumeSerialNumber, 0, 0};
    static_assert(sizeof id.FileId.Identifier == 2 * sizeof identity.FileNumber);
    std::memcpy(&identity.FileNumber, id.FileId.Identifier, sizeof identity.FileNumber);
    std::memcpy(&identity.FileNumberHigh, id.FileId.Identifier + sizeof identity.FileNumber,
                sizeof identity.FileNumberHigh);
    return identity;
  }
  // Volumes that keep no 128-bit ids: the 64-bit index is all there is.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return FolderIdentity{
      info.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, 0};
}

// Whether a folder below the root is reached through a link or junction: the root's watch reports
// changes by the path they happen under, which would then be another.
bool ReachedThroughALink(const std::string& root, const std::string& below) {
  std::string path = root;
  std::size_t at = 0;
  while (at < below.size()) {
    std::size_t end = below.find('\\', at);
    if (end == std::string::npos) end = below.size();
    path = JoinPath(path, std::string_view(below).substr(at, end - at));
    const DWORD attributes = GetFileAttributesW(LongPathOf(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return true;
    }
    at = end + 1;
  }
  return false;
}

// The watch on the root with its subtree: one notification request pending on the root's open
// handle, asked again as soon as it completes. The system keeps the changes made between two
// requests for the next one, so none goes unseen.
class RootWatch {
 public:
  RootWatch() : notes_(NotesBytes / sizeof(DWORD)) {}
  ~RootWatch() { Close(); }
  RootWatch(const RootWatch&) = delete;
  RootWatch& operator=(const RootWatch&) = delete;

  bool Active() const { return folder_ != INVALID_HANDLE_VALUE; }
  const FolderIdentity& Identity() const { return identity_; }

  // Opens the root, sharing it for every use, and asks for its first notifications; false when
  // either cannot be done.
  bool Start(const std::string& root) {
    Close();
    try {
      folder_ =
          CreateFileW(LongPathOf(root).c_str(), FILE_LIST_DIRECTORY, ShareAll, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    } catch (const std::exception&) {
      folder_ = INVALID_HANDLE_VALUE;
    }
    if (folder_ == INVALID_HANDLE_VALUE) return false;
    const auto identity = IdentityOfHandle(folder_);
    completed_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!identity || completed_ == nullptr || !Ask()) {
      Close();
      return false;
    }
    identity_ = *identity;
    return true;
  }

  // Hands every notified name (relative to the root, UTF-8) that has come to onName, without
  // waiting; false when notifications were lost (too many, or the watch failed and was closed).
  template <typename OnName>
  bool Take(OnName onName) {
    for (int round = 0; round < MostCompletionsAPoll; ++round) {
      if (!Active()) return false;
      if (WaitForSingleObject(completed_, 0) == WAIT_TIMEOUT) return true;
      DWORD bytes = 0;
      if (!GetOverlappedResult(folder_, &pending_, &bytes, FALSE)) {
        Close();  // the root is gone or the system dropped the notes: started again when needed
        return false;
      }
      const bool complete = bytes != 0;  // zero bytes: more changes came than the notes hold
      if (complete) TakeNotes(bytes, onName);
      if (!Ask()) {
        Close();
        return false;
      }
      if (!complete) return false;
    }
    return false;
  }

  void Close() {
    if (folder_ != INVALID_HANDLE_VALUE) {
      // The request must be over before its buffer goes.
      DWORD ignored = 0;
      if (CancelIoEx(folder_, &pending_) || GetLastError() != ERROR_NOT_FOUND) {
        GetOverlappedResult(folder_, &pending_, &ignored, TRUE);
      }
      CloseHandle(folder_);
      folder_ = INVALID_HANDLE_VALUE;
    }
    if (completed_ != nullptr) CloseHandle(completed_);
    completed_ = nullptr;
  }

 private:
  bool Ask() {
    ResetEvent(completed_);
    pending_ = OVERLAPPED{};
    pending_.hEvent = completed_;
    return ReadDirectoryChangesW(folder_, notes_.data(), static_cast<DWORD>(NotesBytes), TRUE,
                                 WatchedChanges, nullptr, &pending_, nullptr) != 0;
  }

  template <typename OnName>
  void TakeNotes(DWORD bytes, OnName& onName) {
    const auto* base = reinterpret_cast<const unsigned char*>(notes_.data());
    std::size_t at = 0;
    for (;;) {
      if (at + offsetof(FILE_NOTIFY_INFORMATION, FileName) > bytes) return;
      FILE_NOTIFY_INFORMATION note;
      std::memcpy(&note, base + at, offsetof(FILE_NOTIFY_INFORMATION, FileName));
      const std::size_t nameAt = at + offsetof(FILE_NOTIFY_INFORMATION, FileName);
      if (nameAt + note.FileNameLength > bytes) return;
      std::wstring name(note.FileNameLength / sizeof(wchar_t), L'\0');
      std::memcpy(name.data(), base + nameAt, name.size() * sizeof(wchar_t));
      onName(win32::Narrow(name));
      if (note.NextEntryOffset == 0) return;
      at += note.NextEntryOffset;
    }
  }

  HANDLE folder_ = INVALID_HANDLE_VALUE;
  HANDLE completed_ = nullptr;
  OVERLAPPED pending_{};
  std::vector<DWORD> notes_;  // DWORD-aligned, as the notifications must be
  FolderIdentity identity_{};
};

// A watch on one folder itself, where an open folder locks nothing: a notification request
// pending on its open handle, whose completion, of whatever kind, means the folder may have
// changed.
struct OwnWatch {
  HANDLE Folder = INVALID_HANDLE_VALUE;
  HANDLE Completed = nullptr;
  OVERLAPPED Pending{};
  alignas(DWORD) unsigned char Notes[4096];

  OwnWatch() = default;
  OwnWatch(const OwnWatch&) = delete;
  OwnWatch& operator=(const OwnWatch&) = delete;
  ~OwnWatch() {
    if (Folder == INVALID_HANDLE_VALUE) return;
    // The request must be over before its buffer goes.
    DWORD ignored = 0;
    if (CancelIoEx(Folder, &Pending) || GetLastError() != ERROR_NOT_FOUND) {
      GetOverlappedResult(Folder, &Pending, &ignored, TRUE);
    }
    CloseHandle(Folder);
    if (Completed != nullptr) CloseHandle(Completed);
  }

  // Opens the folder and asks for its first notification; false when it cannot, or the path
  // no longer leads to the folder read.
  bool Start(const std::string& path, const FolderIdentity& identity) {
    Folder = CreateFileW(LongPathOf(path).c_str(), FILE_LIST_DIRECTORY, ShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (Folder == INVALID_HANDLE_VALUE || IdentityOfHandle(Folder) != identity) return false;
    Completed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Pending.hEvent = Completed;
    return Completed != nullptr &&
           ReadDirectoryChangesW(Folder, Notes, sizeof Notes, FALSE, WatchedChanges, nullptr,
                                 &Pending, nullptr);
  }

  // Wine completes a request in its server, so a change made an instant ago may show only after
  // one more call to it.
  bool HasCompleted() const {
    return WaitForSingleObject(Completed, 0) != WAIT_TIMEOUT ||
           WaitForSingleObject(Completed, 0) != WAIT_TIMEOUT;
  }
};

// Wine (8.0 at least) reports changes of a watched folder's own entries only, whatever the
// subtree flag asks; there an open folder stops nobody from renaming its parents.
bool SubtreeChangesReported() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

}  // namespace

std::optional<FolderIdentity> FolderIdentityOf(const std::string& path) {
  HANDLE folder = INVALID_HANDLE_VALUE;
  try {
    folder = CreateFileW(LongPathOf(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const OpenHandle open(folder);
  if (folder == INVALID_HANDLE_VALUE) return std::nullopt;
  return IdentityOfHandle(folder);
}

struct FolderWatcher::Native {
  std::string Root;
  FolderWatchSeams Seams;
  bool SubtreeReported = true;
  RootWatch Subtree;
  std::map<int, std::string> Watched;  // readings watched through the root: paths below it
  std::map<int, std::unique_ptr<OwnWatch>> Own;  // readings whose folder is watched itself
  int Next = 1;

  // Watches a folder read with that identity, before it is read; the watch's number, or nothing
  // when it is not to be watched or cannot be.
  std::optional<int> WatchBeforeReading(const std::string& folder, HANDLE open,
                                        const FolderIdentity& identity) {
    const auto choice = ChooseWatch(Root, folder, SubtreeReported);
    if (!choice || !Seams.MayKeep || !Seams.MayKeep(win32::VolumeKindOfHandle(open))) {
      return std::nullopt;
    }
    if (!choice->ThroughRoot) {
      auto own = std::make_unique<OwnWatch>();
      if (!own->Start(folder, identity)) return std::nullopt;
      Own.emplace(Next, std::move(own));
      return Next++;
    }
    // Only a folder on the root's own volume, reached without a link, is seen there.
    if (ReachedThroughALink(Root, choice->Below) || !(Subtree.Active() || Subtree.Start(Root)) ||
        Subtree.Identity().Device != identity.Device) {
      return std::nullopt;
    }
    Watched.emplace(Next, choice->Below);
    return Next++;
  }
};

FolderWatcher::FolderWatcher(std::string root, FolderWatchSeams seams)
    : native_(std::make_unique<Native>()) {
  native_->Root = std::move(root);
  native_->SubtreeReported = seams.SubtreeReported.value_or(SubtreeChangesReported());
  native_->Seams = std::move(seams);
}

FolderWatcher::~FolderWatcher() = default;

FolderReading FolderWatcher::Read(const std::string& folder) {
  const OpenHandle open(CreateFileW(LongPathOf(folder).c_str(), FILE_LIST_DIRECTORY, ShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (open.Get() == INVALID_HANDLE_VALUE) win32::ThrowLastError("cannot list " + folder);
  const auto identity = IdentityOfHandle(open.Get());
  if (!identity) win32::ThrowError(ERROR_DIRECTORY, "cannot list " + folder);
  FolderReading reading{*identity, std::nullopt, {}};

  // Watched before it is read: a change made while it is read shows at the next poll.
  const std::optional<int> watch = native_->WatchBeforeReading(folder, open.Get(), *identity);
  try {
    reading.Names = win32::RegularFileNames(folder);
    if (native_->Seams.AfterListing) native_->Seams.AfterListing(folder);
  } catch (...) {
    if (watch) Release(*watch);
    throw;
  }
  // The system's folder scan goes by path: the listing counts as the watched folder's only when
  // the path still leads there afterwards.
  if (watch && FolderIdentityOf(folder) == reading.Identity) {
    reading.Watch = watch;
  } else if (watch) {
    Release(*watch);
  }
  return reading;
}

void FolderWatcher::Release(int watch) {
  native_->Watched.erase(watch);
  native_->Own.erase(watch);
}

FolderChanges FolderWatcher::Poll() {
  FolderChanges changes;
  // A completed request on a folder itself, whether it carries names, an overflow (no names) or
  // an error such as the folder's deletion, is a change; it stays reported until released.
  for (const auto& [id, own] : native_->Own) {
    if (own->HasCompleted()) changes.Watches.push_back(id);
  }
  if (!native_->Subtree.Active()) {
    // Closed after a failure, which every watch it served was told of: none is left to tell.
    return changes;
  }
  const bool complete = native_->Subtree.Take([&](const std::string& name) {
    for (const auto& [id, below] : native_->Watched) {
      if (ChangeTouchesFolder(name, below) &&
          std::find(changes.Watches.begin(), changes.Watches.end(), id) == changes.Watches.end()) {
        changes.Watches.push_back(id);
      }
    }
  });
  if (!complete) {
    // Lost notifications of the root: every watch through it counts as changed.
    for (const auto& [id, below] : native_->Watched) {
      if (std::find(changes.Watches.begin(), changes.Watches.end(), id) == changes.Watches.end()) {
        changes.Watches.push_back(id);
      }
    }
  }
  return changes;
}

}  // namespace varo
