// Linux: the regular files of an open folder, shared by the plain listing and the watched one.
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

namespace varo {

// Names of the regular files of an open folder (links not followed); throws std::system_error
// naming the folder when it cannot be read.
std::vector<std::string> RegularFileNamesIn(DIR* dir, const std::string& folder);

}  // namespace varo
