// One run of the client: the request, its exchange with the server, the printed result.
#pragma once

#include <ostream>

#include "ClientOptions.h"

namespace varo::client {

// Runs the request of the options, prints the result to out and problems to err, and returns
// the exit code (ExitDone, ExitNotFound, ExitNoAnswer, ExitFailure, ExitPortClosed or
// ExitUsage).
int RunClient(const ClientOptions& options, std::ostream& out, std::ostream& err);

}  // namespace varo::client
