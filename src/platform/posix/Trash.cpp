// Linux: the freedesktop.org trash layout (Trash 1.0), as file managers keep it, so that their
// "Restore" puts a system back where it was. One deletion works through open folders from its
// start: the game folder is opened once and the file named relative to it, so the file examined
// is the file moved; each trash folder is opened without following a link and checked on that
// handle, so a folder swapped for a link or another user's folder after the check is never
// reached.
#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "platform/AppendedFile.h"
#include "platform/FileReplace.h"
#include "platform/TimeStamp.h"
#include "platform/posix/Descriptor.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/TrashEntry.h"

namespace varo {

namespace {

// The most /proc/self/mountinfo is read up to: thousands of mounts.
constexpr std::size_t MountInfoLimit = 16 * 1024 * 1024;
// Names tried in one trash before it counts as unable to take the file; after the first, each is
// a fresh random one, so a taken name costs one more try whatever the number of earlier copies.
constexpr int NamesTried = 64;

// The file being deleted: its folder held open, its name there, and where it really lies.
struct Doomed {
  int Folder;
  std::string Name;
  std::string RealFolder;              // absolute, links resolved; empty when unknown
  std::optional<std::uint64_t> Mount;  // the id of the mount it lies on, when the kernel says
  dev_t Device;
};

// A trash that may take the file: its two folders open, and the path its records give the file.
struct OpenTrash {
  Descriptor Files;
  Descriptor Info;
  std::string RecordPath;
};

enum class Move { Trashed, Gone, NotTaken };

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The id of the mount the entry lies on (statx, Linux 5.8 and later); nothing when not told.
std::optional<std::uint64_t> MountIdAt(int folder, const char* name, int flags) {
  struct statx status {};
  if (::statx(folder, name, flags | AT_NO_AUTOMOUNT, STATX_MNT_ID, &status) != 0 ||
      (status.stx_mask & STATX_MNT_ID) == 0) {
    return std::nullopt;
  }
  return status.stx_mnt_id;
}

// Whether one rename can move a file from the mount and device given to the open folder: the same
// mount where the kernel tells mounts, else the same device.
bool ReachableByRename(int folder, const Doomed& file) {
  const std::optional<std::uint64_t> mount = MountIdAt(folder, "", AT_EMPTY_PATH);
  if (mount && file.Mount) return *mount == *file.Mount;
  struct stat status {};
  return ::fstat(folder, &status) == 0 && status.st_dev == file.Device;
}

// Where the open folder really is, as the kernel names it: absolute, every link resolved, through
// the mount it was opened by; "" when the kernel cannot say.
std::string RealPathOf(int fd, const std::string& asGiven) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink(link.c_str(), buffer, PATH_MAX);
  if (n > 0 && buffer[0] == '/') {
    const std::string path(buffer, static_cast<std::size_t>(n));
    if (!path.ends_with(" (deleted)")) return path;
  }
  // No /proc: the path given, resolved again.
  char* resolved = ::realpath(asGiven.c_str(), nullptr);
  if (resolved == nullptr) return "";
  std::string path(resolved);
  std::free(resolved);
  return path;
}

// The trash folder name in parent, made 0700 when missing, opened without following a link; held
// only when, checked on that handle, it is a folder of this user's own that nobody else may write.
Descriptor OwnFolderAt(int parent, const char* name) {
  if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return Descriptor();
  Descriptor folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!folder.IsOpen() || ::fstat(folder.Get(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Descriptor();
  }
  return folder;
}

// The trash whose own folder is open in trash, with its files/ and info/; nothing when either
// cannot be had.
std::optional<OpenTrash> TrashIn(const Descriptor& trash, std::string recordPath) {
  if (!trash.IsOpen()) return std::nullopt;
  OpenTrash open{OwnFolderAt(trash.Get(), "files"), OwnFolderAt(trash.Get(), "info"),
                 std::move(recordPath)};
  if (!open.Files.IsOpen() || !open.Info.IsOpen()) return std::nullopt;
  return open;
}

// The home trash, when one rename reaches it from the file's own mount; its records give absolute
// paths.
std::optional<OpenTrash> HomeTrash(const Doomed& file) {
  std::string dataHome = Variable("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and is ignored, as for every XDG base folder.
  if (!dataHome.starts_with('/')) {
    const std::string home = Variable("HOME");
    if (!home.starts_with('/')) return std::nullopt;
    dataHome = home + "/.local/share";
  }
  try {
    MakeFolders(dataHome);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  const Descriptor trash = OwnFolderAt(AT_FDCWD, (dataHome + "/Trash").c_str());
  std::optional<OpenTrash> open = TrashIn(trash, file.RealFolder + "/" + file.Name);
  if (!open || !ReachableByRename(open->Files.Get(), file)) return std::nullopt;
  return open;
}

// The trash at the top of the file's own mount: $top/.Trash/$uid where the administrator made
// .Trash a sticky folder, else $top/.Trash-$uid. Its records give paths relative to the top, so a
// volume mounted elsewhere later still restores.
std::optional<OpenTrash> TopTrash(const Doomed& file) {
  if (file.RealFolder.empty()) return std::nullopt;
  std::optional<std::string> mountinfo;
  try {
    mountinfo = ReadWholeFile("/proc/self/mountinfo", MountInfoLimit);
  } catch (const std::system_error&) {
  }
  if (!mountinfo) return std::nullopt;
  const std::optional<std::string> top = file.Mount
                                             ? MountPointOfId(*mountinfo, *file.Mount)
                                             : MountPointHolding(*mountinfo, file.RealFolder);
  if (!top || !IsWithin(file.RealFolder, *top)) return std::nullopt;
  const Descriptor topFolder(::open(top->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!topFolder.IsOpen() || !ReachableByRename(topFolder.Get(), file)) return std::nullopt;

  const std::string uid = std::to_string(::geteuid());
  Descriptor trash;
  const Descriptor shared(
      ::openat(topFolder.Get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (shared.IsOpen() && ::fstat(shared.Get(), &status) == 0 && S_ISDIR(status.st_mode) &&
      (status.st_mode & S_ISVTX) != 0) {
    trash = OwnFolderAt(shared.Get(), uid.c_str());
  }
  if (!trash.IsOpen()) trash = OwnFolderAt(topFolder.Get(), (".Trash-" + uid).c_str());

  // The folder's path below the top, "" for the top itself.
  const std::size_t topLength = *top == "/" ? 1 : top->size() + 1;
  const std::string below =
      file.RealFolder.size() > topLength ? file.RealFolder.substr(topLength) + "/" : "";
  return TrashIn(trash, below + file.Name);
}

// A fresh name part for an entry whose plain name is taken.
std::string UniqueSuffix() {
  thread_local std::mt19937 engine{std::random_device{}()};
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(engine()));
  return text;
}

// Moves the file to entry in files/ without ever replacing what is there: one rename where the file
// system knows "no replace", else a second link then the first one's removal, which never replaces
// either (FUSE and NFS refuse the flag). Returns 0, or -1 with errno set.
int MoveWithoutReplacing(const Doomed& file, int files, const std::string& entry) {
  if (::renameat2(file.Folder, file.Name.c_str(), files, entry.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::linkat(file.Folder, file.Name.c_str(), files, entry.c_str(), 0) != 0) return -1;
  if (::unlinkat(file.Folder, file.Name.c_str(), 0) == 0 || errno == ENOENT) return 0;
  // Still in its folder: the trash's second name goes, so the file is not in two places.
  const int error = errno;
  ::unlinkat(files, entry.c_str(), 0);
  errno = error;
  return -1;
}

// Writes the record and moves the file in under a name free in both of the trash's folders. The
// record comes first, made only where no record is (O_EXCL), which reserves its name against
// another deleter; it goes again when the file cannot follow it.
Move MoveInto(const OpenTrash& trash, const Doomed& file) {
  const long nameMax = ::fpathconf(trash.Info.Get(), _PC_NAME_MAX);
  const std::size_t limit =
      (nameMax > 0 ? static_cast<std::size_t>(nameMax) : 255) - TrashInfoSuffix.size();
  const std::string info = TrashInfoText(trash.RecordPath, LocalClockNow());
  for (int attempt = 0; attempt < NamesTried; ++attempt) {
    const std::string entry = TrashEntryName(file.Name, limit, attempt == 0 ? "" : UniqueSuffix());
    const std::string record = entry + std::string(TrashInfoSuffix);
    Descriptor fd(::openat(trash.Info.Get(), record.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.IsOpen()) {
      if (errno == EEXIST) continue;
      return Move::NotTaken;
    }
    const bool written =
        ::write(fd.Get(), info.data(), info.size()) == static_cast<ssize_t>(info.size());
    if (fd.Close() == 0 && written && MoveWithoutReplacing(file, trash.Files.Get(), entry) == 0) {
      return Move::Trashed;
    }
    const int error = written ? errno : EIO;
    ::unlinkat(trash.Info.Get(), record.c_str(), 0);
    if (error == EEXIST) continue;  // something of that name in files/, left as it is
    return error == ENOENT ? Move::Gone : Move::NotTaken;
  }
  return Move::NotTaken;
}

[[noreturn]] void ThrowCannotDelete(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), "cannot delete " + path);
}

}  // namespace

Disposal MoveToTrash(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folderPath =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) ThrowCannotDelete(EISDIR, path);

  const Descriptor folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.IsOpen()) {
    if (errno == ENOENT) return Disposal::DeletedForGood;  // gone with its folder
    ThrowCannotDelete(errno, path);
  }
  struct stat status {};
  if (::fstatat(folder.Get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return Disposal::DeletedForGood;
    ThrowCannotDelete(errno, path);
  }
  const Doomed file{folder.Get(), name, RealPathOf(folder.Get(), folderPath),
                    MountIdAt(folder.Get(), name.c_str(), AT_SYMLINK_NOFOLLOW), status.st_dev};

  if (!file.RealFolder.empty()) {
    for (const auto& trashFor : {HomeTrash, TopTrash}) {
      const std::optional<OpenTrash> trash = trashFor(file);
      if (!trash) continue;
      const Move move = MoveInto(*trash, file);
      if (move == Move::Trashed) return Disposal::Trashed;
      if (move == Move::Gone) return Disposal::DeletedForGood;
    }
  }
  // No trash takes it: deleted for good, through the same folder.
  if (::unlinkat(folder.Get(), name.c_str(), 0) != 0 && errno != ENOENT) {
    ThrowCannotDelete(errno, path);
  }
  return Disposal::DeletedForGood;
}

}  // namespace varo
