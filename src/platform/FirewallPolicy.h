// What the system's firewall answers, to a user without administrator rights, about incoming
// traffic: Windows Firewall's policy. Whether requests would be blocked is decided from these
// answers elsewhere; here they are only read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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
  // What limits it to part of the traffic; "*" or empty: no limit.
  std::string RemotePorts;      // the senders' ports
  std::string LocalAddresses;   // this computer's addresses it applies to
  std::string InterfaceTypes;   // "Lan", "Wireless", "RemoteAccess", joined by ","; "All": any
  bool SomeInterfaces = false;  // limited to interfaces it names
  std::string AppPackage;       // the app package it is limited to (its security identifier)
  std::string Users;            // the users whose programs it is limited to (a security descriptor)
  bool SecureOnly = false;      // only for traffic that IPsec authenticates
};

// Whether the rules of this computer's own policy (not group policy's) take effect on the current
// networks, as the firewall answers when asked whether a rule added now would.
enum class LocalRules {
  Apply,
  OverriddenByGroupPolicy,  // group policy controls the current profile
  InboundBlocked,           // no incoming traffic is let in, whatever the rules
};

struct FirewallAnswers {
  std::uint32_t CurrentProfiles = 0;             // the profiles of the networks connected now
  std::vector<FirewallProfileAnswers> Profiles;  // one for each current profile
  std::vector<FirewallRule> Rules;
  LocalRules Local = LocalRules::Apply;
};

// Reads the firewall's answers; nothing where no firewall can be read: Linux's need root, and
// Wine has none. It may take a while (the firewall's service answers), so the main thread, which
// serves requests, never calls it.
std::optional<FirewallAnswers> ReadFirewallPolicy();

// While it lives, tells of a change in the current networks' profiles (a network made private, or
// one whose kind became known some seconds after it connected), which no change of addresses
// shows. Made and ended on the thread that reads the policy; nothing is told where the system
// gives no such news (Linux; a Windows whose network list service is stopped).
class NetworkProfileWatch {
 public:
  // From now on calls changed, on a thread of the system's, after each change; changed must not
  // block: it only passes the news on.
  explicit NetworkProfileWatch(std::function<void()> changed);
  // Stops; no call of changed starts any more once it returns.
  ~NetworkProfileWatch();
  NetworkProfileWatch(const NetworkProfileWatch&) = delete;
  NetworkProfileWatch& operator=(const NetworkProfileWatch&) = delete;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// A watch of the current networks' profiles calling changed; the desktop's default way to follow
// them.
std::unique_ptr<NetworkProfileWatch> WatchNetworkProfiles(std::function<void()> changed);

}  // namespace varo
