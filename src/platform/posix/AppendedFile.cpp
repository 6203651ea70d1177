#include "platform/AppendedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace varo {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

void AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) ThrowErrno(path);
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
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::error_code examined;
  if (std::filesystem::is_directory(folder, examined)) return;
  if (!error) error = std::make_error_code(std::errc::not_a_directory);
  throw std::system_error(error, folder);
}

}  // namespace varo
