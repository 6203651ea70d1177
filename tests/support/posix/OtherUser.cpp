#include "posix/OtherUser.h"

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "posix/ChildProcess.h"

namespace varo::test {

namespace {
constexpr int NotBecome = 200;
}  // namespace

bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(Nobody, Nobody, Nobody) == 0 &&
         ::setresuid(Nobody, Nobody, Nobody) == 0;
}

int AsNobody(const std::function<int()>& body, double seconds) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (!BecomeNobody()) ::_exit(NotBecome);
    int result = NotBecome;
    try {
      result = body();
    } catch (...) {
    }
    ::_exit(result & 0xFF);
  }
  int status = 0;
  if (!ReapWithin(child, status, seconds)) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) == NotBecome) return -1;
  return WEXITSTATUS(status);
}

bool OpenToNobody(const std::filesystem::path& folder, const std::filesystem::path& top) {
  for (std::filesystem::path p = folder;; p = p.parent_path()) {
    if (::chmod(p.c_str(), 0755) != 0) return false;
    if (p == top || p == p.parent_path()) return p == top;
  }
}

}  // namespace varo::test
