#include "posix/OtherUser.h"

#include <grp.h>
#include <unistd.h>

namespace varo::test {

bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(Nobody, Nobody, Nobody) == 0 &&
         ::setresuid(Nobody, Nobody, Nobody) == 0;
}

}  // namespace varo::test
