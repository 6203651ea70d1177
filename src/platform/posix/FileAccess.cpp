#include "platform/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

#include "platform/Paths.h"

namespace varo {

namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

int Fd(std::intptr_t native) {
  return static_cast<int>(native);
}

FileTime FileTimeOf(const timespec& time) {
  return FileTime{static_cast<std::int64_t>(time.tv_sec), static_cast<std::uint32_t>(time.tv_nsec)};
}

FileIdentity IdentityOf(const struct stat& status) {
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino),
                      static_cast<std::uint64_t>(status.st_size), FileTimeOf(status.st_mtim),
                      FileTimeOf(status.st_ctim)};
}

// Opens name in the folder of dirFd (AT_FDCWD: a path) without following a symbolic link;
// O_NONBLOCK keeps a pipe put in the file's place from blocking the open, refused once open.
int OpenAt(int dirFd, const std::string& name, const std::string& path) {
  int fd;
  do {
    fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowErrno(errno, "cannot open " + path);
  return fd;
}

}  // namespace

FileTime FileClockNow() {
  // The file system stamps its times from the real-time clock.
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return FileTimeOf(now);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : native_(-1), path_(path), opened_{} {
  Take(OpenAt(AT_FDCWD, path, path));
}

ReadOnlyFile::ReadOnlyFile(const OpenFolder& folder, const std::string& name)
    : native_(-1), path_(JoinPath(folder.Path(), name)), opened_{} {
  if (name.find('/') != std::string::npos) ThrowErrno(ENOENT, "cannot open " + path_);
  Take(folder.native_ >= 0 ? OpenAt(Fd(folder.native_), name, path_)
                           : OpenAt(AT_FDCWD, path_, path_));
}

void ReadOnlyFile::Take(std::intptr_t native, std::optional<std::uint64_t>* /*device*/) {
  native_ = native;
  struct stat status;
  if (fstat(Fd(native_), &status) != 0) {
    const int error = errno;
    close(Fd(native_));
    ThrowErrno(error, "cannot examine " + path_);
  }
  if (!S_ISREG(status.st_mode)) {
    close(Fd(native_));
    ThrowErrno(EINVAL, "not a regular file: " + path_);
  }
  opened_ = IdentityOf(status);
}

ReadOnlyFile::~ReadOnlyFile() {
  close(Fd(native_));
}

std::size_t ReadOnlyFile::ReadFullyAt(std::uint64_t offset, std::uint8_t* buffer,
                                      std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(Fd(native_), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, "cannot read " + path_);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::time_t ReadOnlyFile::ModificationTime() const {
  struct stat status;
  if (fstat(Fd(native_), &status) != 0) ThrowErrno(errno, "cannot examine " + path_);
  return status.st_mtime;
}

std::uint64_t ReadOnlyFile::Size() const {
  struct stat status;
  if (fstat(Fd(native_), &status) != 0) ThrowErrno(errno, "cannot examine " + path_);
  return static_cast<std::uint64_t>(status.st_size);
}

FileIdentity ReadOnlyFile::Identity() const {
  struct stat status;
  if (fstat(Fd(native_), &status) != 0) ThrowErrno(errno, "cannot examine " + path_);
  return IdentityOf(status);
}

OpenFolder::OpenFolder(const std::string& folder)
    : path_(folder), native_(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

OpenFolder::~OpenFolder() {
  if (native_ >= 0) ::close(Fd(native_));
}

std::optional<FileIdentity> OpenFolder::RegularFileIdentityOf(const std::string& name) const {
  struct stat status;
  if (native_ < 0 || name.find('/') != std::string::npos ||
      ::fstatat(Fd(native_), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return IdentityOf(status);
}

void RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return;
  ThrowErrno(errno, "cannot delete " + path);
}

std::time_t ModificationTimeOf(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) ThrowErrno(errno, "cannot examine " + path);
  return status.st_mtime;
}

CalendarTime LocalDateOf(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) ThrowErrno(EOVERFLOW, "time has no local date");
  return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min,         local.tm_sec,     static_cast<int>(local.tm_gmtoff / 60)};
}

}  // namespace varo
