#include "SystemLookup.h"

#include "archive/SystemCode.h"
#include "archive/SystemListing.h"
#include "platform/Paths.h"

namespace varo {

std::string Code2Filename(const ArchiveFolders& folders, std::int32_t code, std::uint8_t gameKind) {
  const Listing listing = ListSystemFiles(folders, gameKind);
  for (const std::string& name : listing.Names) {
    if (GetCodice(name) == code) return JoinPath(listing.Folder, name);
  }
  return {};
}

}  // namespace varo
