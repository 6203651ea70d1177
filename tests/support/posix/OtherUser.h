// The unprivileged user that tests running as root become in a child process, so that files this
// user may not read or write are refused as they would be to anyone but root.
#pragma once

#include <sys/types.h>

namespace varo::test {

inline constexpr uid_t Nobody = 65534;

// Makes this process the unprivileged user and group 65534 for good, without supplementary
// groups; false when it cannot (when not root).
bool BecomeNobody();

}  // namespace varo::test
