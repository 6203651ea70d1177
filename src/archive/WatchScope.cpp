#include "archive/WatchScope.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace varo {

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool EqualFoldingAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

// The non-empty parts of a path, "." parts left out.
std::vector<std::string_view> PartsOf(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  while (at < path.size()) {
    while (at < path.size() && IsSeparator(path[at])) ++at;
    std::size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(at, end - at);
    if (!part.empty() && part != ".") parts.push_back(part);
    at = end;
  }
  return parts;
}

// Whether a notified name may name the same entry as one of the program's: the file system folds
// case beyond ASCII by its own table, and may report a change made through a short name.
bool MaybeSameName(std::string_view notified, std::string_view ours) {
  if (EqualFoldingAscii(notified, ours)) return true;
  if (HasNonAscii(notified) && HasNonAscii(ours)) return true;
  return notified.find('~') != std::string_view::npos;
}

}  // namespace

std::optional<std::string> PathBelowRoot(std::string_view root, std::string_view folder) {
  const std::vector<std::string_view> rootParts = PartsOf(root);
  const std::vector<std::string_view> folderParts = PartsOf(folder);
  // A rooted path and a share differ in their leading separators only.
  const auto leading = [](std::string_view path) {
    return std::find_if_not(path.begin(), path.end(), IsSeparator) - path.begin();
  };
  if (rootParts.empty() || leading(root) != leading(folder) ||
      folderParts.size() < rootParts.size()) {
    return std::nullopt;
  }
  const auto isParent = [](std::string_view part) { return part == ".."; };
  if (std::any_of(rootParts.begin(), rootParts.end(), isParent) ||
      std::any_of(folderParts.begin(), folderParts.end(), isParent)) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < rootParts.size(); ++i) {
    // Both come from the one Documents path: beyond ASCII they must be the same bytes.
    if (!EqualFoldingAscii(rootParts[i], folderParts[i])) return std::nullopt;
  }
  std::string below;
  for (std::size_t i = rootParts.size(); i < folderParts.size(); ++i) {
    if (!below.empty()) below += '\\';
    below += folderParts[i];
  }
  return below;
}

std::optional<WatchChoice> ChooseWatch(std::string_view root, std::string_view folder,
                                       bool subtreeReported) {
  if (!subtreeReported) return WatchChoice{false, {}};
  std::optional<std::string> below = PathBelowRoot(root, folder);
  if (!below) return std::nullopt;
  return WatchChoice{true, std::move(*below)};
}

bool ChangeTouchesFolder(std::string_view notified, std::string_view folderBelow) {
  const std::vector<std::string_view> changed = PartsOf(notified);
  const std::vector<std::string_view> folder = PartsOf(folderBelow);
  // Agreeing on every part both have: the same entry, a parent of the folder, or inside it.
  const std::size_t common = std::min(changed.size(), folder.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (!MaybeSameName(changed[i], folder[i])) return false;
  }
  return true;
}

}  // namespace varo
