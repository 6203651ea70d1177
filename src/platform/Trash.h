// The desktop's trash, from which the user restores a deleted system with the desktop's own
// "Restore": the freedesktop.org trash on Linux, the Recycle Bin on Windows.
#pragma once

#include <string>

namespace varo {

// Where a deleted file went.
enum class Disposal {
  Trashed,         // into the trash, restorable
  DeletedForGood,  // no trash could take it, or it was already gone
};

// Moves the file to the trash of its volume, asking nobody; where no trash can take it, deletes it
// for good, and says so: Trashed only for a file that is in a trash. Linux: the home trash where
// one rename reaches it from the file's own mount, else the trash at the top of that mount; the
// file's record there is made first, reserving its name, then the file is moved in, never copied
// and never over anything already there. A file already gone counts as deleted for good. Throws
// std::system_error when the file is still there.
Disposal MoveToTrash(const std::string& path);

}  // namespace varo
