// News of this computer's IPv4 addresses changing, so what the user reads of them follows a cable,
// a Wi-Fi network or a VPN at once.
#pragma once

#include <functional>
#include <memory>

namespace varo {

// While it lives, tells of an IPv4 address added or removed and of an interface going up or down.
class AddressWatcher {
 public:
  // From now on calls changed, on a thread that is not the caller's, within a fraction of a second
  // of a change; a burst of changes calls it once or a few times. changed must not block: it only
  // passes the news on. Throws std::system_error when the system's news cannot be had.
  explicit AddressWatcher(std::function<void()> changed);
  // Stops; no call of changed runs any more once it returns.
  ~AddressWatcher();
  AddressWatcher(const AddressWatcher&) = delete;
  AddressWatcher& operator=(const AddressWatcher&) = delete;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace varo
