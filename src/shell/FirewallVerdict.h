// Whether the system's firewall lets requests reach this program, decided from the firewall's
// answers alone, so the rule is the same wherever it is tested.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FirewallPolicy.h"

namespace varo {

// The profile bits of the networks connected now on which the firewall would block datagrams to
// program (its full path) at UDP port; 0 when requests get through everywhere. A block wins over
// an allowing rule, as in the firewall itself.
std::uint32_t BlockingProfiles(const FirewallAnswers& answers, const std::string& program,
                               std::int32_t port);

}  // namespace varo
