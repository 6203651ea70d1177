// Which notifications of a watched folder concern a folder below it: Windows watches the user's
// Documents folder with its subtree in place of each game folder, since an open handle on a game
// folder would stop the user from renaming or moving its parents.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The path of folder relative to root, its parts joined by "\" ("" for root itself), when folder
// lies at or below root; nothing when it does not, or when a ".." part leaves that in doubt.
// "/" and "\" both separate parts; ASCII letters compare in any case, as Windows names do.
std::optional<std::string> PathBelowRoot(std::string_view root, std::string_view folder);

// How a folder is watched: through the root, with its subtree, for changes whose relative names
// touch the folder's path below it; or by a watch on the folder itself.
struct WatchChoice {
  bool ThroughRoot;
  std::string Below;  // the folder's path below the root, when watched through it
};

// Through the root where the system reports changes anywhere in a watched subtree (Windows) and
// the folder lies below the root; nothing for a folder outside it there, since a handle on it
// would stop its parents from being renamed. On itself where the system reports only a watched
// folder's own entries, and an open folder locks nothing (Wine).
std::optional<WatchChoice> ChooseWatch(std::string_view root, std::string_view folder,
                                       bool subtreeReported);

// Whether a change notified below the root by its relative name may touch the folder at
// folderBelow (as PathBelowRoot gives it): the folder itself, one of its parents, or anything
// inside it. Parts the program cannot compare for sure count as the same: names beyond ASCII
// on both sides, and names with a "~" that may be the short 8.3 form of any name.
bool ChangeTouchesFolder(std::string_view notified, std::string_view folderBelow);

}  // namespace varo
