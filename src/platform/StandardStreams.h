// The three standard descriptors, made sure to exist before the program opens anything, and the
// one way the program writes a line to standard error.
#pragma once

#include <functional>
#include <string_view>

namespace varo {

// How much a standard-error line matters, as a service manager's journal files it.
enum class Severity { Error, Warning, Notice };

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so no file the program opens
// later (the lock file, a system file) takes that number and receives its output.
void EnsureStandardStreams();

// Writes line and a line end to standard error and flushes it. When standard error is the
// systemd journal (Linux), the line starts with the journal's priority prefix for severity.
void WriteErrorLine(Severity severity, std::string_view line);

// From now on WriteErrorLine also hands every line (without the journal's prefix) to copy, or to
// nobody when copy is empty. What copy itself writes with WriteErrorLine reaches standard error
// only.
void CopyErrorLines(std::function<void(std::string_view)> copy);

// The prefix WriteErrorLine puts before a line of severity: "<3>", "<4>" or "<5>" when standard
// error is the journal, "" otherwise.
std::string_view ErrorLinePrefix(Severity severity);

}  // namespace varo
