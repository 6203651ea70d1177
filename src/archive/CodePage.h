// File names as the clients' single-byte code page (Windows-1252) spells them.
#pragma once

#include <string>
#include <string_view>

namespace varo {

// Converts valid UTF-8 to Windows-1252, with "?" for every character that page lacks;
// a text that is not valid UTF-8 is returned byte for byte.
std::string Utf8ToWindows1252(std::string_view text);

}  // namespace varo
