#include "SystemCode.h"

#include "settings/IntegerRule.h"

namespace varo {

std::int32_t GetCodice(std::string_view nameOrPath) {
  const std::size_t last = nameOrPath.find_last_of(".\\/:");
  if (last == std::string_view::npos || nameOrPath[last] != '.') return -1;
  return ParseInteger(nameOrPath.substr(last + 1)).value_or(-1);
}

}  // namespace varo
