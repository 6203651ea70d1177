// The two game folders of the archive, the Documents folder they lie below, and the table that
// picks folder and name mask by game.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varo {

struct ArchiveFolders {
  std::string TotocalcioFolder;
  std::string TotogolFolder;
  std::string Documents;  // what Windows watches for changes in both, in place of each
};

inline constexpr std::uint8_t GameTotocalcio = 1;
inline constexpr std::uint8_t GameTotogol = 2;

// The archive folders below the user's Documents folder; nothing is created. A Documents folder the
// system cannot name ("") gives no folder at all (""), never one below the root of a drive, where
// anybody may make folders.
ArchiveFolders MakeArchiveFolders(const std::string& documents);

// The folder of a game: 1 is Totocalcio, every other value Totogol.
const std::string& GameFolder(const ArchiveFolders& folders, std::uint8_t gameKind);

// The file-name mask of a game: "*.tcl.*" for 1, "*.gcl.*" for every other value.
std::string_view GameMask(std::uint8_t gameKind);

}  // namespace varo
