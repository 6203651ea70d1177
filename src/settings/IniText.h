// The text of a private-profile settings file: finding a key's value and setting it in place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The text without the blanks and tabs around it, as a settings value or an item of a list is read.
std::string_view TrimBlanks(std::string_view text);

// The value of key in section (names compared without regard to ASCII case; only the first section
// of the name is looked at, and the first key in it wins), with blanks and tabs around it and one
// pair of matching quotes removed; nothing when absent.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// The text with key set to value: replaced in place, else added at the end of the first section of
// the name, else added with a new section at the end. Every other byte stays; new lines take the
// text's line end, or lineEndOfNewText when the text has none yet. Throws std::invalid_argument
// for names or values that would break the file's lines.
std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value, std::string_view lineEndOfNewText = "\n");

}  // namespace varo
