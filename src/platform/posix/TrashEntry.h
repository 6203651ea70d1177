// Linux: the text rules of the freedesktop.org trash (Trash 1.0) that file managers read back: a
// deleted file's record and the name it takes in the trash's files/ folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/CalendarTime.h"

namespace varo {

// What a record's name adds to its entry's name.
inline constexpr std::string_view TrashInfoSuffix = ".trashinfo";

// The path as the record's Path= key holds it: "/" and the unreserved bytes (A-Z a-z 0-9 - . _ ~)
// as they are, every other byte, those of 0x80 and over included, as %XX.
std::string PercentEncodedPath(std::string_view path);

// The whole record of a file deleted at the local time deleted: path is where it was, absolute for
// the home trash, relative to the volume's top for the volume's own trash.
std::string TrashInfoText(std::string_view path, const CalendarTime& deleted);

// The name a file called name takes in a trash whose entries hold at most limit bytes. Without a
// suffix, name itself when it fits; else its start, cut on a UTF-8 character boundary, then "."
// and the suffix when one is given, then its last two extensions (a system's ".tcl.<code>"), all
// within limit, so the entry still says what it is. "Restore" brings the real name back from the
// record.
std::string TrashEntryName(std::string_view name, std::size_t limit, std::string_view suffix);

}  // namespace varo
