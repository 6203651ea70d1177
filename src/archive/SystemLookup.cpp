#include "SystemLookup.h"

#include "archive/SystemCode.h"
#include "archive/SystemListing.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

namespace varo {

std::string Code2Filename(const ArchiveFolders& folders, std::int32_t code, std::uint8_t gameKind) {
  const std::string& folder = GameFolder(folders, gameKind);
  const std::vector<std::string> names = SystemFilesAmong(RegularFileNames(folder), gameKind);
  const std::string* found = FirstWithCode(names, code);
  return found != nullptr ? JoinPath(folder, *found) : std::string();
}

}  // namespace varo
