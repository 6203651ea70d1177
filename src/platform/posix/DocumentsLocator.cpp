// Linux: the XDG documents folder named in $XDG_CONFIG_HOME/user-dirs.dirs (else
// ~/.config/user-dirs.dirs), else $HOME/Documents; the file is read again only when it changed, or
// while its times are too recent to tell a change.
#include "platform/DocumentsLocator.h"

#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <exception>
#include <optional>
#include <tuple>

#include "platform/FileReplace.h"
#include "platform/posix/UserDirs.h"

namespace varo {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// What tells that user-dirs.dirs may have changed; all zero while it does not exist.
struct FileStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  long long Modified = 0;  // nanoseconds
  long long Changed = 0;
  bool operator==(const FileStamp&) const = default;
};

// The most a user-dirs.dirs may hold: a few lines; what is larger is no such file.
constexpr std::size_t UserDirsLimit = 64 * 1024;

// A rewrite within one tick of the file system's clock (a second on some) leaves every time as it
// was: a stamp is trusted only once its times lie this far back, as kept summaries are.
constexpr long long SettledNanoseconds = 2 * 1000000000LL;

bool Settled(const FileStamp& stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long nowNano = now.tv_sec * 1000000000LL + now.tv_nsec;
  return stamp.Modified <= nowNano - SettledNanoseconds &&
         stamp.Changed <= nowNano - SettledNanoseconds;
}

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  constexpr long long Nano = 1000000000LL;
  return FileStamp{info.st_dev, info.st_ino, info.st_size,
                   info.st_mtim.tv_sec * Nano + info.st_mtim.tv_nsec,
                   info.st_ctim.tv_sec * Nano + info.st_ctim.tv_nsec};
}

}  // namespace

struct DocumentsLocator::Native {
  std::string Home = Variable("HOME");
  std::string UserDirs;
  std::optional<FileStamp> Read;  // the stamp the kept answer was read at
  std::string Documents;
};

DocumentsLocator::DocumentsLocator() : native_(std::make_unique<Native>()) {
  const std::string config = Variable("XDG_CONFIG_HOME");
  const std::string base = !config.empty() ? config : native_->Home + "/.config";
  native_->UserDirs = base + "/user-dirs.dirs";
}

DocumentsLocator::~DocumentsLocator() = default;

const std::string& DocumentsLocator::Current() {
  Native& n = *native_;
  const FileStamp stamp = StampOf(n.UserDirs);
  if (n.Read && *n.Read == stamp && Settled(stamp)) return n.Documents;
  std::optional<std::string> named;
  try {
    if (const auto text = ReadWholeFile(n.UserDirs, UserDirsLimit)) {
      named = DocumentsInUserDirs(*text, n.Home);
    }
  } catch (const std::exception&) {
    // A file that cannot be read names nothing, as a missing one.
  }
  if (named) {
    n.Documents = *named;
  } else {
    n.Documents = n.Home.empty() ? "" : n.Home + "/Documents";
  }
  n.Read = stamp;
  return n.Documents;
}

}  // namespace varo
