// Linux: the mounts of this process's view of the file systems, as /proc/self/mountinfo lists
// them, for finding the top of the mount a file lies on. Device numbers alone cannot tell it: a
// bind mount shows part of a volume again under another top.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The mount point of the mount whose id is id, as the text of a mountinfo file lists it; nothing
// when it is not listed.
std::optional<std::string> MountPointOfId(std::string_view mountinfo, std::uint64_t id);

// The mount point of the mount that shows path (absolute, links resolved): the longest mount point
// that holds it, the one listed last where a mount hides another at the same point; nothing when
// none is listed. For kernels that give no mount id.
std::optional<std::string> MountPointHolding(std::string_view mountinfo, std::string_view path);

// Whether path is top itself or lies below it.
bool IsWithin(std::string_view path, std::string_view top);

}  // namespace varo
