#include "ArchiveFolders.h"

#include "platform/Paths.h"

namespace varo {

ArchiveFolders MakeArchiveFolders(const std::string& documents) {
  if (documents.empty()) return ArchiveFolders{};
  const std::string base = JoinPath(JoinPath(documents, "Quillmarch"), "Quillmarch Varo Server");
  return ArchiveFolders{JoinPath(base, "Totocalcio"), JoinPath(base, "Totogol"), documents};
}

const std::string& GameFolder(const ArchiveFolders& folders, std::uint8_t gameKind) {
  return gameKind == GameTotocalcio ? folders.TotocalcioFolder : folders.TotogolFolder;
}

std::string_view GameMask(std::uint8_t gameKind) {
  return gameKind == GameTotocalcio ? "*.tcl.*" : "*.gcl.*";
}

}  // namespace varo
