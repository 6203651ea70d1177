// Linux: the freedesktop.org trash layout (Trash 1.0), as file managers keep it, so that their
// "Restore" puts a system back where it was.
#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/AppendedFile.h"
#include "platform/TimeStamp.h"
#include "records/FixedText.h"

namespace varo {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path as the record's Path= key holds it: every byte but the unreserved ones and "/" as %XX.
std::string PercentEncoded(const std::string& path) {
  std::string encoded;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || c == '/' || c == '-' || c == '_' ||
                       c == '.' || c == '~';
    if (plain) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back("0123456789ABCDEF"[byte >> 4]);
      encoded.push_back("0123456789ABCDEF"[byte & 0xF]);
    }
  }
  return encoded;
}

// The file's record in the trash: where it was and when it was deleted, in local time.
std::string TrashInfo(const std::string& path) {
  const CalendarTime now = LocalClockNow();
  char stamp[32];
  FixedText date(stamp, sizeof stamp);
  date.AddDecimal(now.Year, 4).Add("-").AddDecimal(now.Month, 2).Add("-").AddDecimal(now.Day, 2);
  date.Add("T").AddDecimal(now.Hour, 2).Add(":").AddDecimal(now.Minute, 2).Add(":");
  date.AddDecimal(now.Second, 2);
  return "[Trash Info]\nPath=" + PercentEncoded(path) + "\nDeletionDate=" +
         std::string(date.View()) + "\n";
}

// A folder of the user's own: made 0700 when missing; one that is a link or another's is refused.
bool OwnFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat status {};
  return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == ::getuid();
}

// The top of the volume holding folder, whose device is device: the last parent on it.
std::string TopOfVolume(std::string folder, dev_t device) {
  while (folder != "/") {
    const std::string parent = ParentOf(folder);
    struct stat status {};
    if (::stat(parent.c_str(), &status) != 0 || status.st_dev != device) break;
    folder = parent;
  }
  return folder;
}

// The trash that takes a file of device in folder, its files/ and info/ made; "" when none can.
std::string TrashFor(const std::string& folder, dev_t device) {
  std::string dataHome = Variable("XDG_DATA_HOME");
  if (dataHome.empty() && !Variable("HOME").empty()) dataHome = Variable("HOME") + "/.local/share";
  if (!dataHome.empty()) {
    const std::string home = dataHome + "/Trash";
    try {
      MakeFolders(home + "/files");
      MakeFolders(home + "/info");
      struct stat status {};
      if (::stat(home.c_str(), &status) == 0 && status.st_dev == device) return home;
    } catch (const std::system_error&) {
      // No home trash: the volume's own may still take it.
    }
  }
  const std::string top = TopOfVolume(folder, device);
  const std::string uid = std::to_string(::getuid());
  const std::string base = top == "/" ? "" : top;
  // The administrator's shared trash counts only when it is a real folder with the sticky bit.
  struct stat shared {};
  std::string trash;
  if (::lstat((base + "/.Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
      (shared.st_mode & S_ISVTX) != 0 && OwnFolder(base + "/.Trash/" + uid)) {
    trash = base + "/.Trash/" + uid;
  } else if (OwnFolder(base + "/.Trash-" + uid)) {
    trash = base + "/.Trash-" + uid;
  } else {
    return "";
  }
  if (!OwnFolder(trash + "/files") || !OwnFolder(trash + "/info")) return "";
  return trash;
}

// Deletes the file for good; one already gone counts as deleted.
Disposal DeleteForGood(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw std::system_error(errno, std::generic_category(), "cannot delete " + path);
  }
  return Disposal::DeletedForGood;
}

}  // namespace

Disposal MoveToTrash(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return Disposal::DeletedForGood;
    throw std::system_error(errno, std::generic_category(), "cannot delete " + path);
  }
  // The record names the file by its absolute path, which "Restore" puts it back at.
  std::string absolute = path;
  if (path.empty() || path[0] != '/') {
    char* here = ::getcwd(nullptr, 0);
    if (here == nullptr) return DeleteForGood(path);
    absolute = std::string(here) + "/" + path;
    std::free(here);
  }
  const std::string trash = TrashFor(ParentOf(absolute), status.st_dev);
  if (trash.empty()) return DeleteForGood(path);

  const std::string name = absolute.substr(absolute.find_last_of('/') + 1);
  const std::string info = TrashInfo(absolute);
  // The record is made first, with O_EXCL, which reserves the name against another deleter.
  for (int copy = 1; copy <= 1000; ++copy) {
    const std::string entry = copy == 1 ? name : name + "." + std::to_string(copy);
    const std::string record = trash + "/info/" + entry + ".trashinfo";
    const int fd =
        ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return DeleteForGood(path);
    }
    const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(path.c_str(), (trash + "/files/" + entry).c_str()) == 0) {
      return Disposal::Trashed;
    }
    // No half of a trashed file is left: the record goes, and the file is deleted as before.
    ::unlink(record.c_str());
    return DeleteForGood(path);
  }
  return DeleteForGood(path);
}

}  // namespace varo
