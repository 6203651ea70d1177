// Linux: nftables and iptables answer only root, and a desktop firewall's zones are its own
// business; nothing is read, so nothing is claimed about them.
#include "platform/FirewallPolicy.h"

namespace varo {

std::optional<FirewallAnswers> ReadFirewallPolicy() {
  return std::nullopt;
}

}  // namespace varo
