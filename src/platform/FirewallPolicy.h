// What the system's firewall answers, to a user without administrator rights, about incoming
// traffic: Windows Firewall's policy. Whether requests would be blocked is decided from these
// answers elsewhere; here they are only read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varo {

// The firewall's network profiles as bits of a mask: each network is of one profile, and a rule
// applies to a mask of them.
inline constexpr std::uint32_t FirewallDomain = 1;
inline constexpr std::uint32_t FirewallPrivate = 2;
inline constexpr std::uint32_t FirewallPublic = 4;

// The protocol number of a rule for every protocol; others are IANA's (UDP 17, TCP 6).
inline constexpr int FirewallAnyProtocol = 256;
inline constexpr int FirewallUdp = 17;

// How one profile treats incoming traffic.
struct FirewallProfileAnswers {
  std::uint32_t Profile = 0;      // one of the profile bits
  bool Enabled = false;           // the firewall is on for this profile
  bool BlocksByDefault = false;   // traffic that no rule allows is blocked
  bool BlocksEverything = false;  // all incoming traffic is blocked, allowing rules too
};

// One rule, as much of it as tells whether it concerns a program's incoming datagrams.
struct FirewallRule {
  bool Enabled = false;
  bool Inbound = false;
  bool Allows = false;         // else it blocks
  std::uint32_t Profiles = 0;  // the profile bits it applies to
  std::string Application;  // the program's full path, environment variables expanded; empty: any
  std::string Service;      // the service it is limited to; empty: any process
  int Protocol = FirewallAnyProtocol;
  std::string LocalPorts;       // "7770", "7000-7800", "*", lists joined by ","; empty: any
  std::string RemoteAddresses;  // "*" or empty: any source
};

struct FirewallAnswers {
  std::uint32_t CurrentProfiles = 0;             // the profiles of the networks connected now
  std::vector<FirewallProfileAnswers> Profiles;  // one for each current profile
  std::vector<FirewallRule> Rules;
};

// Reads the firewall's answers; nothing where no firewall can be read: Linux's need root, and
// Wine has none.
std::optional<FirewallAnswers> ReadFirewallPolicy();

}  // namespace varo
