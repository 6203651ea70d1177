#include "platform/ServiceReadiness.h"

#include <systemd/sd-daemon.h>

namespace varo {

void NotifyServiceReady() {
  // A failed notification changes nothing here: systemd then reports the start as failed itself.
  (void)sd_notify(0, "READY=1");
}

}  // namespace varo
