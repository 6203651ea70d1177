#include "IniText.h"

#include <stdexcept>
#include <vector>

namespace varo {

namespace {

// One line of the file: where its content starts and ends, and where its line end ends.
struct Line {
  std::size_t Begin = 0;
  std::size_t ContentEnd = 0;  // before "\r\n" or "\n"
  std::size_t End = 0;         // after the line end
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  // A UTF-8 byte-order mark written by some editors is not part of the first line's content.
  if (text.starts_with("\xEF\xBB\xBF")) begin = 3;
  while (begin < text.size()) {
    const std::size_t newline = text.find('\n', begin);
    Line line;
    line.Begin = begin;
    if (newline == std::string_view::npos) {
      line.ContentEnd = line.End = text.size();
    } else {
      line.ContentEnd = newline;
      line.End = newline + 1;
    }
    if (line.ContentEnd > line.Begin && text[line.ContentEnd - 1] == '\r') --line.ContentEnd;
    lines.push_back(line);
    begin = line.End;
  }
  return lines;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view content) {
  const std::string_view trimmed = TrimBlanks(content);
  if (!trimmed.starts_with('[')) return std::nullopt;
  const std::size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(trimmed.substr(1, close - 1));
}

// Where a "key=value" line of the wanted key sits, as found by Locate.
struct Location {
  std::optional<std::size_t> KeyLine;        // index of the key's line
  std::optional<std::size_t> LastOfSection;  // last non-blank line of the first matching section
  std::size_t ValueBegin = 0;                // offset in the text just after the "="
};

// Only the first section of the name counts: a repeated one is neither read nor written, so a
// key that only it holds is absent, and a write adds the key to the first one.
Location Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location found;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view content =
        text.substr(lines[i].Begin, lines[i].ContentEnd - lines[i].Begin);
    if (const auto name = SectionName(content)) {
      if (inSection) break;  // the first matching section has ended
      inSection = SameName(*name, section);
      if (inSection) found.LastOfSection = i;
      continue;
    }
    if (!inSection) continue;
    if (!TrimBlanks(content).empty()) found.LastOfSection = i;
    const std::string_view trimmed = TrimBlanks(content);
    if (trimmed.starts_with(';')) continue;
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) continue;
    if (!SameName(TrimBlanks(content.substr(0, equals)), key)) continue;
    found.KeyLine = i;
    found.ValueBegin = lines[i].Begin + equals + 1;
    return found;
  }
  return found;
}

std::string_view LineEndOf(std::string_view text, std::string_view lineEndOfNewText) {
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return lineEndOfNewText;
  if (newline > 0 && text[newline - 1] == '\r') return "\r\n";
  return "\n";
}

// What must follow the text's last line before a new line can go after it: nothing when it
// ends in a line feed; completes a stray carriage return to the file's CRLF.
std::string_view LineEndToClose(std::string_view text, std::string_view lineEnd) {
  if (text.empty() || text.ends_with('\n')) return "";
  if (text.ends_with('\r') && lineEnd == "\r\n") return "\n";
  return lineEnd;
}

void RequireSingleLine(std::string_view what, std::string_view text) {
  if (text.find_first_of("\r\n") != std::string_view::npos) {
    throw std::invalid_argument(std::string(what) + " must not contain a line end");
  }
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const Location found = Locate(text, lines, section, key);
  if (!found.KeyLine) return std::nullopt;
  const Line& line = lines[*found.KeyLine];
  std::string_view value =
      TrimBlanks(text.substr(found.ValueBegin, line.ContentEnd - found.ValueBegin));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value, std::string_view lineEndOfNewText) {
  RequireSingleLine("a section name", section);
  RequireSingleLine("a key name", key);
  RequireSingleLine("a value", value);
  if (section.find(']') != std::string_view::npos) {
    throw std::invalid_argument("a section name must not contain ']'");
  }
  if (key.find('=') != std::string_view::npos || TrimBlanks(key).empty()) {
    throw std::invalid_argument("a key name must be non-empty and without '='");
  }
  // Names the reader could never find again: each write would add one more unreadable line.
  if (TrimBlanks(section) != section || TrimBlanks(key) != key) {
    throw std::invalid_argument("a section or key name must not begin or end with a blank");
  }
  if (key.front() == ';' || key.front() == '[') {
    throw std::invalid_argument("a key name must not begin with ';' or '['");
  }

  const std::vector<Line> lines = SplitLines(text);
  const Location found = Locate(text, lines, section, key);
  const std::string_view lineEnd = LineEndOf(text, lineEndOfNewText);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  if (found.KeyLine) {
    const Line& line = lines[*found.KeyLine];
    result.append(text.substr(0, found.ValueBegin));
    result.append(value);
    result.append(text.substr(line.ContentEnd));
    return result;
  }

  const std::string keyLine = std::string(key) + "=" + std::string(value);
  if (found.LastOfSection) {
    const Line& last = lines[*found.LastOfSection];
    result.append(text.substr(0, last.End));
    result.append(LineEndToClose(text.substr(0, last.End), lineEnd));
    result.append(keyLine);
    result.append(lineEnd);
    result.append(text.substr(last.End));
    return result;
  }

  result.append(text);
  result.append(LineEndToClose(text, lineEnd));
  result.append("[").append(section).append("]").append(lineEnd);
  result.append(keyLine).append(lineEnd);
  return result;
}

}  // namespace varo
