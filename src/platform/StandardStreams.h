// The three standard descriptors, made sure to exist before the program opens anything.
#pragma once

namespace varo {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so no file the program opens
// later (the lock file, a system file) takes that number and receives its output.
void EnsureStandardStreams();

}  // namespace varo
