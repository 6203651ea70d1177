// Building ActivityLog lines: the time stamp at the end (names are made safe by records/Printable).
#pragma once

#include <string>

#include "handlers/ActivityLog.h"

namespace varo {

// Appends text + " [" + the time of day taken now + "]".
void AppendStamped(ActivityLog& log, const std::string& text);

}  // namespace varo
