// Building ActivityLog lines: the time stamp at the end and names made safe to show.
#pragma once

#include <string>
#include <string_view>

#include "handlers/ActivityLog.h"

namespace varo {

// A name or path as the file system holds it, bytes below 0x20 and 0x7F and the line and
// paragraph separators U+0085, U+2028 and U+2029 shown as one "?" each, so a file name cannot
// forge a line of its own.
std::string Printable(std::string_view nameOrPath);

// Appends text + " [" + the time of day taken now + "]".
void AppendStamped(ActivityLog& log, const std::string& text);

}  // namespace varo
