#include "IniProfile.h"

#include <exception>
#include <optional>

#include "platform/FileReplace.h"
#include "settings/IniText.h"
#include "settings/IntegerRule.h"

namespace varo {

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& filePath) {
  std::optional<std::string> text;
  try {
    text = ReadWholeFile(filePath);
  } catch (const std::exception&) {
    // An unreadable file is read like a missing one: the caller's default applies.
  }
  if (!text) return std::string(defaultValue);
  std::optional<std::string> value = FindProfileValue(*text, section, key);
  return value ? *value : std::string(defaultValue);
}

void WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& filePath) {
  // Read through the same link the write follows, so both see the same file.
  const std::string target = WriteTargetOf(filePath);
  const std::string old = ReadWholeFile(target).value_or(std::string());
  ReplaceFile(target, SetProfileValue(old, section, key, value, NewFileLineEnd()));
}

std::optional<std::int32_t> ParseProfileInteger(std::string text) {
  if (text.size() >= 3 && (text.starts_with("0x") || text.starts_with("0X"))) {
    text.replace(0, 2, "$");
  }
  return ParseInteger(text);
}

std::int32_t ReadProfileInteger(std::string_view section, std::string_view key,
                                std::int32_t defaultValue, const std::string& filePath) {
  return ParseProfileInteger(GetPrivateProfileString(section, key, "", filePath))
      .value_or(defaultValue);
}

}  // namespace varo
