#include "platform/NetworkAddresses.h"

#include <algorithm>
#include <vector>

#include "platform/win32/Windows.h"

// After windows.h, on which they build; the helper API after Winsock's headers.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

namespace varo {

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> addresses;
  constexpr ULONG Flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                          GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;
  // The size asked for may grow between two calls as adapters come: a few tries.
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_INET, Flags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return addresses;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp ||
        adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
      continue;
    }
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const sockaddr* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      char text[INET_ADDRSTRLEN] = {};
      const auto* in = reinterpret_cast<const sockaddr_in*>(address);
      if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
      // Loopback addresses on an adapter not marked as loopback are no address for a client.
      if (std::string(text).starts_with("127.")) continue;
      if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
        addresses.emplace_back(text);
      }
    }
  }
  return addresses;
}

}  // namespace varo
