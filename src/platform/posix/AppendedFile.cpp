#include "platform/AppendedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace varo {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Whether the file open on fd has bytes and its last one is not a line end.
bool EndsInsideALine(int fd, const struct stat& status) {
  if (status.st_size == 0) return false;
  char last = '\n';
  return ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n';
}

}  // namespace

void AppendToFile(const std::string& path, std::string_view bytes, std::string_view lineEnd) {
  // O_RDWR rather than O_WRONLY: the last byte is read to tell a torn line.
  const int fd = ::open(path.c_str(),
                        O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) ThrowErrno(path);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISREG(status.st_mode) ? errno : EINVAL;
    ::close(fd);
    throw std::system_error(error, std::generic_category(), path + " is not a regular file");
  }
  std::string joined;
  if (!bytes.empty() && EndsInsideALine(fd, status)) {
    joined.reserve(lineEnd.size() + bytes.size());
    joined.append(lineEnd).append(bytes);
    bytes = joined;
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      // A full disk may take part of the bytes and refuse the rest only on the next write.
      const int error = result < 0 ? errno : ENOSPC;
      ::close(fd);
      throw std::system_error(error, std::generic_category(), path);
    }
    written += static_cast<std::size_t>(result);
  }
  if (::close(fd) != 0 && errno != EINTR) ThrowErrno(path);
}

std::optional<std::uint64_t> SizeOfFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno(path);
  }
  return static_cast<std::uint64_t>(status.st_size);
}

void RenameReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) ThrowErrno(from + " to " + to);
}

void MakeFolders(const std::string& folder) {
  // Each missing part is made 0700, parents first; one made meanwhile by another process counts.
  int error = 0;
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = errno;
      break;
    }
    if (end == std::string::npos) break;
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return;
  throw std::system_error(error != 0 ? error : ENOTDIR, std::generic_category(), folder);
}

}  // namespace varo
