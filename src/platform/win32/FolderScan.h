// Windows: the names a game folder holds, read by path (the system's folder scan takes no handle).
#pragma once

#include <string>
#include <vector>

namespace varo::win32 {

// Names of the regular files in a folder: folders, links and junctions, devices, hidden and system
// files left out, and names UTF-8 cannot spell; throws std::system_error when it cannot be read.
std::vector<std::string> RegularFileNames(const std::string& folder);

}  // namespace varo::win32
