// Linux: nftables and iptables answer only root, and a desktop firewall's zones are its own
// business; nothing is read, so nothing is claimed about them, and no profile is followed.
#include "platform/FirewallPolicy.h"

namespace varo {

std::optional<FirewallAnswers> ReadFirewallPolicy() {
  return std::nullopt;
}

struct NetworkProfileWatch::Native {};

NetworkProfileWatch::NetworkProfileWatch(std::function<void()>) {}

NetworkProfileWatch::~NetworkProfileWatch() = default;

std::unique_ptr<NetworkProfileWatch> WatchNetworkProfiles(std::function<void()> changed) {
  return std::make_unique<NetworkProfileWatch>(std::move(changed));
}

}  // namespace varo
