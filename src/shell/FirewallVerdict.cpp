#include "shell/FirewallVerdict.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "settings/IniText.h"

namespace varo {

namespace {

// A whole decimal number, or nothing for a name or anything else.
std::optional<std::int32_t> Number(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Whether a rule's field stands for every value: "*", or nothing given.
bool AnyValue(std::string_view text) {
  text = TrimBlanks(text);
  return text.empty() || text == "*";
}

// Whether one item of a port list, a number or a range "low-high", takes in port.
bool PortItemListed(std::string_view item, std::int32_t port) {
  item = TrimBlanks(item);
  const std::size_t dash = item.find('-');
  if (dash == std::string_view::npos) return Number(item) == port;
  const auto low = Number(TrimBlanks(item.substr(0, dash)));
  const auto high = Number(TrimBlanks(item.substr(dash + 1)));
  return low && high && *low <= port && port <= *high;
}

// Whether a rule's local ports ("7770", "7000-7800", "*", "80,7770") take in port; names such as
// "RPC" stand for ports of their own and take in none.
bool PortListed(std::string_view ports, std::int32_t port) {
  if (AnyValue(ports)) return true;
  while (true) {
    const std::size_t comma = ports.find(',');
    if (PortItemListed(ports.substr(0, comma), port)) return true;
    if (comma == std::string_view::npos) return false;
    ports.remove_prefix(comma + 1);
  }
}

// Paths on Windows name the same file whatever the case of their letters.
bool SamePath(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Whether rule, in force on profile, concerns datagrams to program at port.
bool Concerns(const FirewallRule& rule, std::uint32_t profile, const std::string& program,
              std::int32_t port) {
  return rule.Enabled && rule.Inbound && (rule.Profiles & profile) != 0 &&
         // A rule of a service stands for that service's process only, never this program.
         rule.Service.empty() &&
         (rule.Application.empty() || SamePath(rule.Application, program)) &&
         (rule.Protocol == FirewallAnyProtocol || rule.Protocol == FirewallUdp) &&
         PortListed(rule.LocalPorts, port);
}

// Whether the firewall, by what it does on profile, blocks datagrams to program at port.
bool Blocks(const FirewallAnswers& answers, const FirewallProfileAnswers& profile,
            const std::string& program, std::int32_t port) {
  if (!profile.Enabled) return false;
  if (profile.BlocksEverything) return true;
  const auto concerns = [&](const FirewallRule& rule) {
    return Concerns(rule, profile.Profile, program, port);
  };
  // A block from only some sources still lets the others through; it is left to the allowing
  // rules and the default, so no problem is shown that is not one.
  const bool blocked = std::any_of(answers.Rules.begin(), answers.Rules.end(), [&](const auto& r) {
    return !r.Allows && AnyValue(r.RemoteAddresses) && concerns(r);
  });
  if (blocked) return true;
  const bool allowed = std::any_of(answers.Rules.begin(), answers.Rules.end(),
                                   [&](const auto& r) { return r.Allows && concerns(r); });
  return !allowed && profile.BlocksByDefault;
}

}  // namespace

std::uint32_t BlockingProfiles(const FirewallAnswers& answers, const std::string& program,
                               std::int32_t port) {
  std::uint32_t blocking = 0;
  for (const FirewallProfileAnswers& profile : answers.Profiles) {
    if ((answers.CurrentProfiles & profile.Profile) == 0) continue;
    if (Blocks(answers, profile, program, port)) blocking |= profile.Profile;
  }
  return blocking;
}

}  // namespace varo
