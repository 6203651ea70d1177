#include "platform/AddressWatch.h"

#include <system_error>
#include <utility>

#include "platform/win32/Windows.h"

// After windows.h, on which they build; the helper API after Winsock's headers.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

namespace varo {

namespace {

// The system calls these on threads of its own; context is the watcher's changed. The first
// notification, asked for by nobody, is no change.
VOID WINAPI AddressChanged(PVOID context, PMIB_UNICASTIPADDRESS_ROW /*row*/,
                           MIB_NOTIFICATION_TYPE type) {
  if (type != MibInitialNotification) (*static_cast<const std::function<void()>*>(context))();
}

VOID WINAPI InterfaceChanged(PVOID context, PMIB_IPINTERFACE_ROW /*row*/,
                             MIB_NOTIFICATION_TYPE type) {
  if (type != MibInitialNotification) (*static_cast<const std::function<void()>*>(context))();
}

void ThrowUnless(DWORD error, const char* what) {
  if (error != NO_ERROR) {
    throw std::system_error(static_cast<int>(error), std::system_category(), what);
  }
}

}  // namespace

struct AddressWatcher::Native {
  std::function<void()> Changed;
  HANDLE Addresses = nullptr;   // an address added or removed
  HANDLE Interfaces = nullptr;  // an interface connected or disconnected

  ~Native() {
    // Each waits for a call in progress, so none runs once they return.
    if (Interfaces != nullptr) CancelMibChangeNotify2(Interfaces);
    if (Addresses != nullptr) CancelMibChangeNotify2(Addresses);
  }
};

AddressWatcher::AddressWatcher(std::function<void()> changed)
    : native_(std::make_unique<Native>()) {
  native_->Changed = std::move(changed);
  void* context = &native_->Changed;
  ThrowUnless(
      NotifyUnicastIpAddressChange(AF_INET, AddressChanged, context, FALSE, &native_->Addresses),
      "cannot listen for address changes");
  ThrowUnless(
      NotifyIpInterfaceChange(AF_INET, InterfaceChanged, context, FALSE, &native_->Interfaces),
      "cannot listen for interface changes");
}

AddressWatcher::~AddressWatcher() = default;

}  // namespace varo
