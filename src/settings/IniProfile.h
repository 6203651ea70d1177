// Settings files in the private-profile INI format, read and written one key at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The value of key in section of the file, or defaultValue when the file, section or key is
// missing or the file cannot be read.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& filePath);

// Sets key in section to value, creating the file or section when needed and keeping every other
// byte; the file is replaced atomically. Throws on failure, leaving the old file whole.
void WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& filePath);

// A settings value read as an integer ("0x" at the start of a text of three or more characters
// stands for "$"); nothing when it is not one.
std::optional<std::int32_t> ParseProfileInteger(std::string text);

// The value of key read as an integer ("0x" at the start of a text of three or more characters
// stands for "$"), or defaultValue when it is missing or not an integer.
std::int32_t ReadProfileInteger(std::string_view section, std::string_view key,
                                std::int32_t defaultValue, const std::string& filePath);

}  // namespace varo
