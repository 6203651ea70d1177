// Whether the system's firewall lets requests reach this program, decided from the firewall's
// answers alone, so the rule is the same wherever it is tested.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FirewallPolicy.h"

namespace varo {

// What the firewall does with datagrams to one port, by the profiles of the networks connected now;
// a current profile in neither mask lets them in.
struct FirewallVerdict {
  std::uint32_t Blocking = 0;   // surely blocked on networks of these profiles
  std::uint32_t Undecided = 0;  // what the firewall answers cannot tell which
  bool operator==(const FirewallVerdict&) const = default;
};

// What the firewall does with datagrams to program (its full path) at UDP port. Only what surely
// holds is claimed: a rule limited to part of the traffic (some users, interfaces, addresses or
// ports) may or may not concern a request, and where group policy controls the profile nothing
// read locally is sure. A block wins over an allowing rule, as in the firewall itself. Program
// paths are compared as the system does, which may ask the file system: never on the main thread.
FirewallVerdict JudgeFirewall(const FirewallAnswers& answers, const std::string& program,
                              std::int32_t port);

}  // namespace varo
