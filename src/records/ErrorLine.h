// The one way the program writes a line to standard error, and the copy of every such line that the
// desktop program keeps in its event log.
#pragma once

#include <functional>
#include <string_view>

#include "platform/StandardStreams.h"

namespace varo {

// Writes line and a line end to standard error and flushes it. When standard error is the
// systemd journal (Linux), the line starts with the journal's priority prefix for severity.
void WriteErrorLine(Severity severity, std::string_view line);

// From now on WriteErrorLine also hands every line (without the journal's prefix) to copy, or to
// nobody when copy is empty. What copy itself writes with WriteErrorLine reaches standard error
// only.
void CopyErrorLines(std::function<void(std::string_view)> copy);

}  // namespace varo
