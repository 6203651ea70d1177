// Who may ask: the sources whose requests are served. The protocol has no authentication and lets
// any sender delete systems, so by default only local networks are answered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varo {

// An IPv4 network, address and mask in host order; the address has no host bits.
struct IPv4Network {
  std::uint32_t Address;
  std::uint32_t Mask;
  bool operator==(const IPv4Network&) const = default;
};

// The networks served; loopback always is. Everyone serves every source.
struct AccessRule {
  bool Everyone = false;
  std::vector<IPv4Network> Networks;
  bool operator==(const AccessRule&) const = default;
};

// The default: loopback, private (10/8, 172.16/12, 192.168/16), shared (100.64/10) and
// link-local (169.254/16) sources.
AccessRule LocalNetworksRule();

// Whether a request from this IPv4 source (network byte order, as received) is served.
bool MayAsk(const AccessRule& rule, std::uint32_t sourceNetworkOrder);

// The setting read, with what the operator must be told about it.
struct AccessSetting {
  AccessRule Rule;
  std::string Problem;               // the entry that could not be read; the default is in force
  std::vector<std::string> Ignored;  // IPv6 entries, which an IPv4 server cannot match
  std::string EverySourceEntry;      // an entry such as 0.0.0.0/0, which serves every source
};

// Reads the setting's value: "locali" (also empty, or only commas and blanks), "tutte", or
// networks in CIDR form separated by commas, which replace the default ("locali" among them stands
// for the default ranges; a bare address is a /32; host bits are dropped). Blanks around entries
// and the case of the words do not matter. One entry that cannot be read keeps the default whole.
// Entries named back have each control character as "?", so they can be shown as they are.
AccessSetting ReadAccessSetting(std::string_view value);

// The warning standard error gets about an entry that serves every source without saying "tutte".
std::string EverySourceWarning(const std::string& entry);

// A network as the settings write it: "203.0.113.0/24".
std::string NetworkText(const IPv4Network& network);

// The rule in words, for the start-up report: "local networks only", "every source", or the
// networks served.
std::string DescribeAccessRule(const AccessRule& rule);

}  // namespace varo
