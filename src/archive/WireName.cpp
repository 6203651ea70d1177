#include "WireName.h"

#include <algorithm>
#include <string>

#include "archive/CodePage.h"

namespace varo {

std::array<std::uint8_t, WireNameSize> WireName(std::string_view fileName) {
  std::array<std::uint8_t, WireNameSize> field;
  field.fill(0x20);
  const std::string converted = Utf8ToWindows1252(fileName);
  std::copy_n(converted.begin(), std::min(converted.size(), field.size()), field.begin());
  return field;
}

}  // namespace varo
