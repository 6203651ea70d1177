#include "LogLine.h"

#include "platform/TimeStamp.h"

namespace varo {

std::string Printable(std::string_view nameOrPath) {
  std::string shown(nameOrPath);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return shown;
}

void AppendStamped(ActivityLog& log, const std::string& text) {
  log.Append(text + " [" + LocalTimeOfDay() + "]");
}

}  // namespace varo
