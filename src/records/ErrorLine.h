// The one way the program writes a line to standard error, and the events among those lines that
// the desktop program keeps in its event log, there in the user's words.
#pragma once

#include <functional>
#include <string_view>

#include "platform/StandardStreams.h"

namespace varo {

// Writes line and a line end to standard error and flushes it. When standard error is the
// systemd journal (Linux), the line starts with the journal's priority prefix for severity.
void WriteErrorLine(Severity severity, std::string_view line);

// Writes line to standard error as WriteErrorLine does, and hands event, the same news in the
// user's words, to the keeper set by KeepEvents.
void WriteEvent(Severity severity, std::string_view line, std::string_view event);

// From now on WriteEvent hands every event to keep, or to nobody when keep is empty. What keep
// itself writes with WriteErrorLine or WriteEvent reaches standard error only.
void KeepEvents(std::function<void(std::string_view)> keep);

}  // namespace varo
