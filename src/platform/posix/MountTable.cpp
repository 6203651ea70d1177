#include "platform/posix/MountTable.h"

#include <charconv>
#include <functional>

namespace varo {

namespace {

// A mount point as the kernel writes it: space, tab, newline and backslash as "\" and three
// octal digits.
std::string Unescaped(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      unsigned value = 0;
      const auto parsed = std::from_chars(digits.data(), digits.data() + 3, value, 8);
      if (parsed.ec == std::errc() && parsed.ptr == digits.data() + 3 && value < 256) {
        text.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    text.push_back(field[i]);
  }
  return text;
}

// Calls each with the id and the escaped mount point of every well-formed line.
void EachMount(std::string_view mountinfo,
               const std::function<void(std::uint64_t, std::string_view)>& each) {
  while (!mountinfo.empty()) {
    const std::size_t end = mountinfo.find('\n');
    std::string_view line = mountinfo.substr(0, end);
    mountinfo = end == std::string_view::npos ? std::string_view() : mountinfo.substr(end + 1);
    // "36 35 98:0 /root /mount/point options ...": the id first, the mount point fifth.
    std::string_view fields[5];
    std::size_t count = 0;
    while (count < 5 && !line.empty()) {
      const std::size_t space = line.find(' ');
      fields[count++] = line.substr(0, space);
      line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    std::uint64_t id = 0;
    if (count < 5 ||
        std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), id).ptr !=
            fields[0].data() + fields[0].size()) {
      continue;
    }
    each(id, fields[4]);
  }
}

}  // namespace

std::optional<std::string> MountPointOfId(std::string_view mountinfo, std::uint64_t id) {
  std::optional<std::string> found;
  EachMount(mountinfo, [&](std::uint64_t listed, std::string_view point) {
    if (listed == id) found = Unescaped(point);
  });
  return found;
}

std::optional<std::string> MountPointHolding(std::string_view mountinfo, std::string_view path) {
  std::optional<std::string> found;
  EachMount(mountinfo, [&](std::uint64_t, std::string_view escaped) {
    std::string point = Unescaped(escaped);
    if (IsWithin(path, point) && (!found || point.size() >= found->size())) {
      found = std::move(point);
    }
  });
  return found;
}

bool IsWithin(std::string_view path, std::string_view top) {
  if (top == "/") return path.starts_with('/');
  return path.starts_with(top) && (path.size() == top.size() || path[top.size()] == '/');
}

}  // namespace varo
