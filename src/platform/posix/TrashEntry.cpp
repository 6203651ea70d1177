#include "platform/posix/TrashEntry.h"

#include <cstdio>

namespace varo {

namespace {

// The most an entry's kept ending may take of it, so an odd name still keeps a start.
constexpr std::size_t LongestEnding = 32;

// The name's last two extensions, ".tcl.5" of "Ruota.tcl.5"; the last alone, or nothing, when
// those would be too long to keep.
std::string_view EndingOf(std::string_view name) {
  const std::size_t last = name.rfind('.');
  if (last == std::string_view::npos || last == 0) return {};
  const std::size_t before = name.rfind('.', last - 1);
  if (before != std::string_view::npos && name.size() - before <= LongestEnding) {
    return name.substr(before);
  }
  return name.size() - last <= LongestEnding ? name.substr(last) : std::string_view();
}

// The first bytes of text, at most limit, ending before a character, never inside one.
std::string_view CutOnCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

}  // namespace

std::string PercentEncodedPath(std::string_view path) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || c == '/' || c == '-' || c == '_' ||
                       c == '.' || c == '~';
    if (plain) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(Hex[byte >> 4]);
      encoded.push_back(Hex[byte & 0xF]);
    }
  }
  return encoded;
}

std::string TrashInfoText(std::string_view path, const CalendarTime& deleted) {
  char date[64];
  std::snprintf(date, sizeof date, "%04lld-%02d-%02dT%02d:%02d:%02d",
                static_cast<long long>(deleted.Year), deleted.Month, deleted.Day, deleted.Hour,
                deleted.Minute, deleted.Second);
  return "[Trash Info]\nPath=" + PercentEncodedPath(path) + "\nDeletionDate=" + date + "\n";
}

std::string TrashEntryName(std::string_view name, std::size_t limit, std::string_view suffix) {
  if (suffix.empty() && name.size() <= limit) return std::string(name);
  const std::string_view ending = EndingOf(name);
  const std::size_t added = ending.size() + (suffix.empty() ? 0 : 1 + suffix.size());
  const std::string_view start = name.substr(0, name.size() - ending.size());
  std::string entry(CutOnCharacter(start, limit > added ? limit - added : 0));
  if (!suffix.empty()) entry.append(".").append(suffix);
  entry.append(ending);
  return entry;
}

}  // namespace varo
