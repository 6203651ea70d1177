#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace varo {

namespace {

// Whether descriptor 2 is the stream that JOURNAL_STREAM ("device:inode") names. The variable alone
// proves nothing: it leaks into every terminal started from a desktop session run by systemd.
bool StandardErrorIsJournal() {
  const char* named = std::getenv("JOURNAL_STREAM");
  if (named == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  char rest = 0;
  if (std::sscanf(named, "%llu:%llu%c", &device, &inode, &rest) != 2) return false;
  struct stat stream {};
  if (::fstat(2, &stream) != 0) return false;
  return static_cast<unsigned long long>(stream.st_dev) == device &&
         static_cast<unsigned long long>(stream.st_ino) == inode;
}

}  // namespace

void EnsureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is this one: the lower ones are open by now.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) ::close(opened);
  }
}

std::string_view ErrorLinePrefix(Severity severity) {
  // Asked once: standard error stays what the program was started with.
  static const bool journal = StandardErrorIsJournal();
  if (!journal) return {};
  switch (severity) {
    case Severity::Error:
      return "<3>";
    case Severity::Warning:
      return "<4>";
    case Severity::Notice:
      break;
  }
  return "<5>";
}

}  // namespace varo
