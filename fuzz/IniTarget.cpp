// Fuzz target: a settings text, then one key written and read back; every other line must stay,
// and both texts read as a plain model of the format says. The value read is also taken as the
// networks that may ask. The input is "section\0key\0value\0" followed by the file's text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Invariant.h"
#include "endpoint/AccessRule.h"
#include "settings/IniText.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// What a reader gives back for a stored value: blanks and tabs around it and one pair of
// matching quotes are not part of it.
std::string ValueAsRead(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// Lines with their own line ends, so that comparing lines compares every byte.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::string_view LineEnd(std::string_view line) {
  if (line.ends_with("\r\n")) return "\r\n";
  if (line.ends_with('\n')) return "\n";
  return "";
}

// The line end that lines added to this text must carry, when the text makes it unambiguous.
std::optional<std::string_view> ExpectedLineEnd(std::string_view text) {
  const bool hasLf = text.find('\n') != std::string_view::npos;
  const bool hasCrLf = text.find("\r\n") != std::string_view::npos;
  if (!hasCrLf) return "\n";
  std::size_t lineFeeds = 0, pairs = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    ++lineFeeds;
    if (i > 0 && text[i - 1] == '\r') ++pairs;
  }
  if (hasLf && lineFeeds == pairs) return "\r\n";
  return std::nullopt;
}

void RequireAddedLine(std::string_view line, std::string_view content,
                      std::optional<std::string_view> lineEnd) {
  const std::string_view end = LineEnd(line);
  FUZZ_REQUIRE(!end.empty());
  FUZZ_REQUIRE(line.substr(0, line.size() - end.size()) == content);
  if (lineEnd) FUZZ_REQUIRE(end == *lineEnd);
}

// The written text differs from the old one only by the key's line: its value replaced in place,
// or the key line (with its section line when the section was new) added; a last line that had no
// line end may gain one.
void CheckKeptLines(std::string_view before, std::string_view after, std::string_view section,
                    std::string_view key, std::string_view value) {
  const auto oldLines = LinesOf(before);
  const auto newLines = LinesOf(after);
  std::size_t head = 0;
  while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head]) {
    ++head;
  }
  std::size_t tail = 0;
  while (tail < oldLines.size() - head && tail < newLines.size() - head &&
         oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail]) {
    ++tail;
  }
  const std::vector<std::string_view> oldMiddle(oldLines.begin() + head, oldLines.end() - tail);
  std::vector<std::string_view> newMiddle(newLines.begin() + head, newLines.end() - tail);
  const std::string keyLine = std::string(key) + "=" + std::string(value);
  const auto lineEnd = ExpectedLineEnd(before);

  if (oldMiddle.size() == 1 && newMiddle.size() == 1 && !LineEnd(oldMiddle[0]).empty()) {
    // Replaced in place: the same line up to its "=", then the value, then the same line end.
    const std::string_view oldLine = oldMiddle[0];
    const std::string_view newLine = newMiddle[0];
    const std::size_t equals = oldLine.find('=');
    FUZZ_REQUIRE(equals != std::string_view::npos);
    FUZZ_REQUIRE(newLine.substr(0, equals + 1) == oldLine.substr(0, equals + 1));
    const std::string_view end = LineEnd(oldLine);
    FUZZ_REQUIRE(newLine.size() >= equals + 1 + end.size() && LineEnd(newLine) == end);
    FUZZ_REQUIRE(newLine.substr(equals + 1, newLine.size() - equals - 1 - end.size()) == value);
    return;
  }
  if (oldMiddle.size() == 1 && !newMiddle.empty() && LineEnd(oldMiddle[0]).empty()) {
    // The last line had no line end: it may have been replaced in place, or have gained one.
    const std::string_view oldLine = oldMiddle[0];
    const std::string_view newLine = newMiddle[0];
    FUZZ_REQUIRE(tail == 0);
    const std::string_view gained = newLine.substr(std::min(oldLine.size(), newLine.size()));
    if (newLine.starts_with(oldLine) && (gained == "\n" || gained == "\r\n") &&
        newMiddle.size() > 1) {
      newMiddle.erase(newMiddle.begin());
    } else {
      FUZZ_REQUIRE(newMiddle.size() == 1);
      const std::size_t equals = oldLine.find('=');
      FUZZ_REQUIRE(equals != std::string_view::npos);
      FUZZ_REQUIRE(newLine.substr(0, equals + 1) == oldLine.substr(0, equals + 1));
      // A carriage return that ends the file stays after the new value.
      const std::string_view kept = oldLine.ends_with('\r') ? "\r" : "";
      FUZZ_REQUIRE(newLine.substr(equals + 1) == std::string(value) + std::string(kept));
      return;
    }
  } else {
    FUZZ_REQUIRE(oldMiddle.empty());
  }
  if (newMiddle.empty()) {
    FUZZ_REQUIRE(before == after);  // the same value written again over itself
    return;
  }
  if (newMiddle.size() == 1) {
    RequireAddedLine(newMiddle[0], keyLine, lineEnd);
    return;
  }
  // A new section goes at the end of the file, with the key under it.
  FUZZ_REQUIRE(newMiddle.size() == 2 && tail == 0);
  RequireAddedLine(newMiddle[0], "[" + std::string(section) + "]", lineEnd);
  RequireAddedLine(newMiddle[1], keyLine, lineEnd);
}

// The value a reader must find: the first "key=" line of the first section of that name, outside
// comments; a later section of the same name does not count.
std::optional<std::string> ModelValue(std::string_view text, std::string_view section,
                                      std::string_view key) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  bool inSection = false;
  for (std::string_view line : LinesOf(text)) {
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view trimmed = Trim(line);
    const std::size_t close = trimmed.find(']');
    if (trimmed.starts_with('[') && close != std::string_view::npos) {
      if (inSection) return std::nullopt;
      inSection = SameName(Trim(trimmed.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection || trimmed.starts_with(';')) continue;
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && SameName(Trim(line.substr(0, equals)), key)) {
      return ValueAsRead(line.substr(equals + 1));
    }
  }
  return std::nullopt;
}

// Whatever the operator wrote, the rule read is sound: networks without host bits, and the default
// whole when an entry could not be read.
void CheckAccessSetting(std::string_view value) {
  const varo::AccessSetting setting = varo::ReadAccessSetting(value);
  if (!setting.Problem.empty()) FUZZ_REQUIRE(setting.Rule == varo::LocalNetworksRule());
  for (const varo::IPv4Network& network : setting.Rule.Networks) {
    FUZZ_REQUIRE((network.Address & ~network.Mask) == 0);
  }
  FUZZ_REQUIRE(!varo::DescribeAccessRule(setting.Rule).empty());
}

// Cuts the next "\0"-ended field from the front of the input.
std::optional<std::string_view> NextField(std::string_view& input) {
  const std::size_t end = input.find('\0');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view field = input.substr(0, end);
  input.remove_prefix(end + 1);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto section = NextField(input);
  const auto key = NextField(input);
  const auto value = NextField(input);
  if (!section || !key || !value) return 0;
  const std::string_view text = input;

  const std::optional<std::string> found = varo::FindProfileValue(text, *section, *key);
  FUZZ_REQUIRE(found == ModelValue(text, *section, *key));
  CheckAccessSetting(found ? std::string_view(*found) : *value);
  std::string written;
  try {
    written = varo::SetProfileValue(text, *section, *key, *value);
  } catch (const std::invalid_argument&) {
    return 0;  // names or a value that the file's lines cannot hold
  }
  CheckKeptLines(text, written, *section, *key, *value);
  // Every name the writer accepts is one the reader finds again, in the first section of the name.
  const std::optional<std::string> readBack = varo::FindProfileValue(written, *section, *key);
  FUZZ_REQUIRE(readBack.has_value());
  FUZZ_REQUIRE(*readBack == ValueAsRead(*value));
  FUZZ_REQUIRE(ModelValue(written, *section, *key) == readBack);
  return 0;
}
