// Files the program only ever adds to at their end, such as a log that others may read, rename or
// delete while it grows. They are the user's own: made readable by the user alone, never reached
// through a link, and never anything but a regular file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varo {

// Appends bytes at the end of the file in one write, creating it (not its folder) when missing,
// readable and writable by the user alone (0600). The file is opened for appending (O_APPEND;
// FILE_APPEND_DATA) without following a link and without waiting (a FIFO never holds the caller),
// shared for reading, renaming and deleting, and closed again. When the file does not end with
// "\n" (a line written only in part, on a full disk), lineEnd goes first, so the bytes start a line
// of their own. Throws std::system_error when the file is a link, not a regular file, or not every
// byte was written.
void AppendToFile(const std::string& path, std::string_view bytes, std::string_view lineEnd);

// The size of the file in bytes; nothing when it does not exist. Throws std::system_error when it
// cannot be examined.
std::optional<std::uint64_t> SizeOfFile(const std::string& path);

// Renames the file from to to, replacing a file that is there. Throws std::system_error.
void RenameReplacing(const std::string& from, const std::string& to);

// Makes folder and its missing parents, each readable by the user alone (0700 on Linux; Windows'
// folders take the user's profile's rights). Throws std::system_error when it is not a folder
// afterwards.
void MakeFolders(const std::string& folder);

}  // namespace varo
