// The desktop's record of the user's folders (user-dirs.dirs), which a desktop's first log-in may
// rewrite while the server runs (Documents becomes ~/Documenti on an Italian desktop).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The Documents folder that the text of a user-dirs.dirs file names (its last XDG_DOCUMENTS_DIR
// line), "$HOME" standing for home; nothing when it names none or names it in a form the desktop
// does not use either (neither "$HOME..." nor an absolute path).
std::optional<std::string> DocumentsInUserDirs(std::string_view text, std::string_view home);

}  // namespace varo
