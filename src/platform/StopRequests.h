// Requests from outside to end a program that has no window: Ctrl+C on both systems, SIGTERM on
// Linux, Ctrl+Break and the closing of its console (or log-off, shut-down) on Windows.
#pragma once

namespace varo {

// Starts watching for stop requests; later calls do nothing.
void WatchStopRequests();

// Whether a stop has been requested since watching began. Safe from any thread.
bool StopRequested();

// The program has done what it does before ending. Windows ends a process whose console is closed
// as soon as the request has been seen, so the request is held (a few seconds at most) until this.
void StopCompleted();

}  // namespace varo
