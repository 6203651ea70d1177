// Linux: stop requests by signal, turned into bytes on a pipe that an event loop can watch. Used by
// StopRequests.cpp and by the Qt program, which watches the pipe in its own loop.
#pragma once

namespace varo {

// Routes SIGTERM and SIGINT to a non-blocking pipe and returns its read end; each signal writes
// its number as one byte. Installed once per process; later calls return the same descriptor.
int InstallStopSignalPipe();

// Reads one pending signal number from the pipe's read end; 0 when none is pending.
int TakeStopSignal(int readEnd);

// Makes writes to a closed pipe or socket fail with EPIPE instead of ending the process.
void IgnoreBrokenPipe();

}  // namespace varo
