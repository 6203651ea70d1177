// This computer's own addresses, which the user types into the clients.
#pragma once

#include <string>
#include <vector>

namespace varo {

// The IPv4 addresses of the interfaces that are up, loopback left out, in dotted form, in the
// order the system gives them and each once; empty when there is none or they cannot be read.
std::vector<std::string> LocalIPv4Addresses();

}  // namespace varo
