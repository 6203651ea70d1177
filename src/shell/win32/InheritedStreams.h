// Standard output and error of a program without a console: the C runtime's streams are bound to
// the handles the starter passed, so the log reaches whoever redirected them.
#pragma once

namespace varo {

// Binds stdout and stderr to the process's standard handles where the C runtime has not.
void BindInheritedStreams();

}  // namespace varo
