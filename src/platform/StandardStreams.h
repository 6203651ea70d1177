// The three standard descriptors, made sure to exist before the program opens anything, and how
// standard error files a line's severity.
#pragma once

#include <string_view>

namespace varo {

// How much a standard-error line matters, as a service manager's journal files it.
enum class Severity { Error, Warning, Notice };

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so no file the program opens
// later (the lock file, a system file) takes that number and receives its output.
void EnsureStandardStreams();

// The prefix a standard-error line of severity starts with: "<3>", "<4>" or "<5>" when standard
// error is the systemd journal (Linux), "" otherwise.
std::string_view ErrorLinePrefix(Severity severity);

}  // namespace varo
