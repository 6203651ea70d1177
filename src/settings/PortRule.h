// Which numbers the user may give as a port, in the settings file or the port dialogs.
#pragma once

#include <cstdint>

namespace varo {

// Whether a port may be chosen by the user: 0 would bind a port the system picks, which no client
// could find, and replies sent to it go nowhere.
inline bool IsUsablePort(std::int32_t port) {
  return port >= 1 && port <= 65535;
}

}  // namespace varo
