#include "platform/ServiceReadiness.h"

namespace varo {

std::optional<ReadinessFailure> NotifyServiceReady() {
  // The desktop program is no Windows service: nobody waits for it.
  return std::nullopt;
}

}  // namespace varo
