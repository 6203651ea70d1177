// Windows: the form of a path in which the system opens exactly the file named, at any length.
#pragma once

#include <optional>
#include <string>

namespace varo::win32 {

// The path made absolute, its folder part normalised ("/" becomes "\", "." and ".." parts go) and
// its final name kept as it is, behind the "\\?\" prefix ("\\?\UNC\" for a share): a name ending
// in "." or " ", or one such as "NUL.tcl.1", then reaches that very file and not another or a
// device. A path already in that form is returned as it is. Throws std::system_error.
std::wstring LongPathOf(const std::string& path);

// The path as the shell's calls read it (absolute and normalised, without the prefix), or nothing
// where that reading would name another file than LongPathOf does: where the system's normalising
// changes the final name (a trailing "." or " ", a device's name such as "NUL.tcl.1"), a path of
// MAX_PATH characters or more, or one already in the "\\?\" form. Throws std::system_error.
std::optional<std::wstring> ShellPathOf(const std::string& path);

}  // namespace varo::win32
