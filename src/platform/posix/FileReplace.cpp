#include "platform/FileReplace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/posix/Descriptor.h"

namespace varo {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("cannot write " + path);
    }
    done += static_cast<std::size_t>(n);
  }
}

// A name for the temporary file beside target that no other writer of this process picks.
std::string TemporaryNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::string name = ".";
  name += target.filename().string();
  name += '.';
  name += std::to_string(::getpid());
  name += '.';
  name += std::to_string(counter.fetch_add(1));
  name += ".tmp";
  return (target.parent_path() / name).string();
}

// Removes temporary files of target that a writer killed before its rename left behind: those
// whose process no longer exists. A live writer's file is left alone.
void RemoveAbandonedTemporaries(const std::filesystem::path& target) {
  std::string prefix = ".";
  prefix += target.filename().string();
  prefix += '.';
  const std::string suffix = ".tmp";
  std::error_code error;
  const std::filesystem::path folder =
      target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) continue;
    // The writer's process id follows the prefix: ".<name>.<pid>.<n>.tmp".
    const char* first = name.data() + prefix.size();
    const char* end = name.data() + name.size() - suffix.size();
    pid_t writer = 0;
    const auto parsed = std::from_chars(first, end, writer);
    if (parsed.ec != std::errc() || parsed.ptr == end || *parsed.ptr != '.' || writer <= 0) {
      continue;
    }
    if (writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH) {
      std::filesystem::remove(entry.path(), error);
    }
  }
}

// Makes the rename itself durable; a folder that cannot be synced is no reason to fail.
void SyncFolderOf(const std::filesystem::path& target) {
  const std::filesystem::path folder =
      target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string_view NewFileLineEnd() {
  return "\n";
}

std::string_view NewTextFileStart() {
  return "";
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit,
                                         LinkInPlace link) {
  const int noLink = link == LinkInPlace::Refused ? O_NOFOLLOW : 0;
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noLink));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno("cannot open " + path);
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) ThrowErrno("cannot examine " + path);
  if (!S_ISREG(status.st_mode)) {
    throw std::system_error(EINVAL, std::generic_category(), path + " is not a regular file");
  }
  std::string bytes;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("cannot read " + path);
    }
    if (n == 0) break;
    // Counted as it is read: the file may grow while it is.
    if (static_cast<std::size_t>(n) > limit - bytes.size()) {
      throw std::system_error(EFBIG, std::generic_category(),
                              path + " holds more than " + std::to_string(limit) + " bytes");
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::string WriteTargetOf(const std::string& path) {
  std::filesystem::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current.string();
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink(current, error);
    if (error) throw std::system_error(error, "cannot read the link " + current.string());
    current = link.is_absolute() ? link : current.parent_path() / link;
  }
  throw std::system_error(ELOOP, std::generic_category(), "too many links at " + path);
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path target = WriteTargetOf(path);
  // The rename would go around the file's own mode, so ask the system whether this process may
  // write the file, as it is now, by opening it for writing without truncating it: this honours
  // the effective user, access lists, the immutable flag and read-only mounts alike. The mode to
  // keep is taken from that same open file. A file that does not exist yet may be created.
  struct stat old {};
  Descriptor existing(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const bool exists = existing.Get() >= 0;
  if (!exists && errno != ENOENT) ThrowErrno("cannot write " + target.string());
  if (exists && ::fstat(existing.Get(), &old) != 0) ThrowErrno("cannot examine " + target.string());
  if (exists) existing.Close();

  const std::string temporary = TemporaryNameFor(target);
  Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.Get() < 0) ThrowErrno("cannot create " + temporary);
  try {
    if (exists) {
      // Keeps the owner when another user's file is rewritten by a privileged process; an
      // ordinary process owns its file already, so a refusal changes nothing.
      [[maybe_unused]] const int owned = ::fchown(fd.Get(), old.st_uid, old.st_gid);
      // After the owner, since a change of owner may clear set-id bits.
      if (::fchmod(fd.Get(), old.st_mode & 07777) != 0)
        ThrowErrno("cannot set the mode of " + temporary);
    }
    WriteAll(fd.Get(), bytes, temporary);
    if (::fsync(fd.Get()) != 0) ThrowErrno("cannot flush " + temporary);
    if (fd.Close() != 0) ThrowErrno("cannot close " + temporary);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
      ThrowErrno("cannot replace " + target.string());
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  SyncFolderOf(target);
  RemoveAbandonedTemporaries(target);
}

}  // namespace varo
