// Whole-file reading and crash-safe replacement, for small files the program rewrites.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The most a small file the program reads may hold (a settings file); more is no such file.
inline constexpr std::size_t SmallFileLimit = 1024 * 1024;

// Whether a small file may be reached through a symbolic link in its place: the user's own files
// may be links; a file only the program writes never is one.
enum class LinkInPlace { Followed, Refused };

// The bytes of the file; nothing when it does not exist. It is opened without waiting (a FIFO in
// its place never holds the caller) and read only when it is a regular file of at most limit
// bytes, so nothing put in its place stops or swells the program. Throws std::system_error when
// it exists but is not such a file (a link too, where links are refused) or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t limit = SmallFileLimit,
                                         LinkInPlace link = LinkInPlace::Followed);

// The path a write to path lands on: symbolic links followed to their final target, which need
// not exist yet. Throws std::system_error on a link loop.
std::string WriteTargetOf(const std::string& path);

// The line end of a text file the program creates: the system's own ("\n" on Linux, "\r\n" on
// Windows). A file that exists keeps whatever it has.
std::string_view NewFileLineEnd();

// What a text file the program creates for the user to read begins with: nothing on Linux; on
// Windows a UTF-8 byte-order mark, without which older editors read its accents as another
// code page.
std::string_view NewTextFileStart();

// Replaces the file's bytes through a temporary file in the same folder, flushed to disk and
// renamed over it, keeping its permission bits (a new file gets 0666 less the umask; on Windows,
// its attributes). A file that exists but that this process may not open for writing (on Windows a
// read-only one too) is not replaced. On failure the old file is left whole and std::system_error
// is thrown.
void ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace varo
