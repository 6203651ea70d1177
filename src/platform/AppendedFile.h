// Files the program only ever adds to at their end, such as a log that others may read, rename or
// delete while it grows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varo {

// Appends bytes at the end of the file in one write, creating it (not its folder) when missing.
// The file is opened for appending only (O_APPEND; FILE_APPEND_DATA), shared for reading, renaming
// and deleting, and closed again. Throws std::system_error, also when not every byte was written.
void AppendToFile(const std::string& path, std::string_view bytes);

// The size of the file in bytes; nothing when it does not exist. Throws std::system_error when it
// cannot be examined.
std::optional<std::uint64_t> SizeOfFile(const std::string& path);

// Renames the file from to to, replacing a file that is there. Throws std::system_error.
void RenameReplacing(const std::string& from, const std::string& to);

// Makes folder and its missing parents. Throws std::system_error when it is not a folder
// afterwards.
void MakeFolders(const std::string& folder);

}  // namespace varo
