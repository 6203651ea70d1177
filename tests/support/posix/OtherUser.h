// The unprivileged user that tests running as root become in a child process, so that files this
// user may not read, write or delete are refused as they would be to anyone but root, on any file
// system.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>

namespace varo::test {

inline constexpr uid_t Nobody = 65534;

// Makes this process the unprivileged user and group 65534 for good, without supplementary
// groups; false when it cannot (when not root).
bool BecomeNobody();

// Runs body in a child process that has become the unprivileged user, and returns what body
// returned (0 to 255); -1 when the child could not become that user, died, or outlived seconds.
int AsNobody(const std::function<int()>& body, double seconds = 10);

// Lets the unprivileged user enter and list folder and each folder above it up to top, top
// included, while only their owner may change them; false when one could not be changed.
bool OpenToNobody(const std::filesystem::path& folder, const std::filesystem::path& top);

}  // namespace varo::test
