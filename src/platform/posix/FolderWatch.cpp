#include "platform/FolderWatch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <system_error>
#include <utility>

#include "platform/posix/VolumeKind.h"

namespace varo {

namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

bool IsRegularEntry(DIR* dir, const dirent& entry) {
  if (entry.d_type == DT_REG) return true;
  if (entry.d_type != DT_UNKNOWN) return false;
  // Some file systems do not fill in the type; ask without following a link.
  struct stat status;
  if (fstatat(dirfd(dir), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return S_ISREG(status.st_mode);
}

// Everything that can change which regular, visible files a folder holds, and the folder's own end.
constexpr std::uint32_t WatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Names of the regular files of an open folder (links not followed).
std::vector<std::string> RegularFileNamesIn(DIR* dir, const std::string& folder) {
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) ThrowErrno(errno, "cannot list " + folder);
      break;
    }
    if (IsRegularEntry(dir, *entry)) names.emplace_back(entry->d_name);
  }
  return names;
}

}  // namespace

std::optional<FolderIdentity> FolderIdentityOf(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return FolderIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino), 0};
}

struct FolderWatcher::Native {
  FolderWatchSeams Seams;
  int Instance = -1;
  std::map<int, int> Holders;  // readings holding each watch
};

// Each folder is watched itself here: an open folder stops nobody from renaming its parents.
FolderWatcher::FolderWatcher(std::string /*root*/, FolderWatchSeams seams)
    : native_(std::make_unique<Native>()) {
  native_->Seams = std::move(seams);
}

FolderWatcher::~FolderWatcher() {
  if (native_->Instance >= 0) close(native_->Instance);
}

FolderReading FolderWatcher::Read(const std::string& folder) {
  int fd;
  do {
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowErrno(errno, "cannot list " + folder);
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    close(fd);
    ThrowErrno(error, "cannot list " + folder);
  }
  struct DirCloser {
    DIR* Dir;
    ~DirCloser() { closedir(Dir); }
  } closer{dir};

  // Identity, watch and names all of the one folder this descriptor holds, whatever the path
  // leads to meanwhile.
  struct stat status;
  if (fstat(fd, &status) != 0) ThrowErrno(errno, "cannot examine " + folder);
  FolderReading reading{
      {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), 0},
      std::nullopt,
      {}};
  // Watched before it is read, so a change made while it is read shows at the next poll.
  if (native_->Seams.MayKeep && native_->Seams.MayKeep(VolumeKindOfDescriptor(fd))) {
    // Made at the first folder that may keep its listing, and again after a failure.
    if (native_->Instance < 0) native_->Instance = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (native_->Instance >= 0) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd);
      const int watch = inotify_add_watch(native_->Instance, self.c_str(), WatchedEvents);
      if (watch >= 0) {
        ++native_->Holders[watch];
        reading.Watch = watch;
      }
    }
  }
  try {
    reading.Names = RegularFileNamesIn(dir, folder);
    if (native_->Seams.AfterListing) native_->Seams.AfterListing(folder);
  } catch (...) {
    if (reading.Watch) Release(*reading.Watch);
    throw;
  }
  return reading;
}

void FolderWatcher::Release(int watch) {
  const auto held = native_->Holders.find(watch);
  if (held == native_->Holders.end()) return;
  if (--held->second > 0) return;
  native_->Holders.erase(held);
  inotify_rm_watch(native_->Instance, watch);
}

FolderChanges FolderWatcher::Poll() {
  FolderChanges changes;
  if (native_->Instance < 0) return changes;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(native_->Instance, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      // Nothing more to read; anything else means events may be lost.
      if (errno != EAGAIN) changes.All = true;
      break;
    }
    if (got == 0) break;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      if (event.mask & IN_Q_OVERFLOW) {
        changes.All = true;
      } else {
        changes.Watches.push_back(event.wd);
        // The kernel ended this watch itself (the folder is gone): nothing is left to remove.
        if (event.mask & IN_IGNORED) native_->Holders.erase(event.wd);
      }
      at += sizeof(inotify_event) + event.len;
    }
  }
  return changes;
}

}  // namespace varo
