#include "platform/ServiceReadiness.h"

namespace varo {

void NotifyServiceReady() {
  // The desktop program is no Windows service: nobody waits for it.
}

}  // namespace varo
