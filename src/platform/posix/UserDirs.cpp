#include "platform/posix/UserDirs.h"

namespace varo {

namespace {

constexpr std::string_view DocumentsKey = "XDG_DOCUMENTS_DIR=";

// What the value of a line names, or nothing when the desktop would not read it as a folder.
std::optional<std::string> FolderOf(std::string_view value, std::string_view home) {
  if (value.size() > 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  std::string folder;
  if (value.starts_with("$HOME")) {
    folder = std::string(home) + std::string(value.substr(5));
  } else if (value.starts_with("/")) {
    folder = value;
  } else {
    return std::nullopt;
  }
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::optional<std::string> DocumentsInUserDirs(std::string_view text, std::string_view home) {
  std::optional<std::string> documents;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.starts_with(DocumentsKey)) continue;
    // The last line that names the folder wins, as the desktop's own reader has it.
    if (auto folder = FolderOf(line.substr(DocumentsKey.size()), home)) documents = folder;
  }
  return documents;
}

}  // namespace varo
