// Readiness as a service manager hears it: systemd's notification socket on Linux.
#pragma once

namespace varo {

// Tells the service manager that started the program (NOTIFY_SOCKET) that it is ready to serve;
// does nothing when none waits for it. Linux only; nothing on Windows.
void NotifyServiceReady();

}  // namespace varo
