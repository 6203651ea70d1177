// Readiness as a service manager hears it: systemd's notification socket on Linux; on Windows the
// desktop program is no service and nobody waits for it.
#pragma once

#include <optional>
#include <string>
#include <system_error>

namespace varo {

// What a service manager that could not be told of readiness was to be told through.
struct ReadinessFailure {
  std::string Where;      // the manager's socket (NOTIFY_SOCKET)
  std::error_code Error;  // why it could not be told
};

// Tells the service manager that started the program that it is ready to serve; nothing happens
// when none waits for it (always so on Windows). Returns why a waiting manager could not be told,
// since it then counts the start as failed when its time is up.
std::optional<ReadinessFailure> NotifyServiceReady();

}  // namespace varo
