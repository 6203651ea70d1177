#include "platform/Paths.h"

namespace varo {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).append("\\").append(name);
  return path;
}

std::string_view FileNameOf(std::string_view path) {
  // Windows takes either separator, so a path a user typed with "/" splits the same way.
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace varo
