#include "LogLine.h"

#include <algorithm>

#include "platform/StandardStreams.h"
#include "platform/TimeStamp.h"

namespace varo {

std::string Printable(std::string_view nameOrPath) {
  // Every line passes here on its way out, and nearly every one has nothing to replace.
  const auto needsLook = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || byte == 0xC2 || byte == 0xE2;
  };
  if (std::none_of(nameOrPath.begin(), nameOrPath.end(), needsLook)) {
    return std::string(nameOrPath);
  }
  std::string shown;
  shown.reserve(nameOrPath.size());
  for (std::size_t i = 0; i < nameOrPath.size(); ++i) {
    const auto byte = static_cast<unsigned char>(nameOrPath[i]);
    if (byte < 0x20 || byte == 0x7F) {
      shown.push_back('?');
      continue;
    }
    // U+0085, U+2028 and U+2029 in UTF-8: a text view breaks the line at each of them.
    const std::string_view rest = nameOrPath.substr(i);
    if (rest.starts_with("\xC2\x85")) {
      shown.push_back('?');
      i += 1;
    } else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) {
      shown.push_back('?');
      i += 2;
    } else {
      shown.push_back(static_cast<char>(byte));
    }
  }
  return shown;
}

void ActivityLog::Notice(const std::string& line) {
  WriteErrorLine(Severity::Notice, line);
}

void ActivityLog::Warning(const std::string& line) {
  WriteErrorLine(Severity::Warning, line);
}

void AppendStamped(ActivityLog& log, const std::string& text) {
  log.Append(text + " [" + LocalTimeOfDay() + "]");
}

}  // namespace varo
