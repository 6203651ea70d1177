#include "shell/FirewallVerdict.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "platform/ProgramPaths.h"
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

// Whether a rule's interface types stand for every interface: "All" (in any letter case), or
// nothing given.
bool AnyInterfaceType(std::string_view types) {
  types = TrimBlanks(types);
  return types.empty() ||
         std::equal(types.begin(), types.end(), "all", "all" + 3, [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// How surely a rule that concerns the program applies to its requests.
enum class Reach {
  None,  // to none of them
  Some,  // perhaps to some or all of them: its limits cannot be checked against the requests
  All,
};

// Whether rule, in force on profile, concerns datagrams to program at port.
bool Concerns(const FirewallRule& rule, std::uint32_t profile, const std::string& program,
              std::int32_t port) {
  return rule.Enabled && rule.Inbound && (rule.Profiles & profile) != 0 &&
         // A rule of a service stands for that service's process only, never this program.
         rule.Service.empty() &&
         (rule.Protocol == FirewallAnyProtocol || rule.Protocol == FirewallUdp) &&
         PortListed(rule.LocalPorts, port) &&
         (rule.Application.empty() || SameProgramPath(rule.Application, program));
}

// How surely rule, which concerns the program, applies to its requests.
Reach ReachOf(const FirewallRule& rule) {
  // This program runs in no app package or app container, so a rule for one never applies to it.
  if (!TrimBlanks(rule.AppPackage).empty()) return Reach::None;
  const bool limited = !AnyValue(rule.RemoteAddresses) || !AnyValue(rule.RemotePorts) ||
                       !AnyValue(rule.LocalAddresses) || !AnyInterfaceType(rule.InterfaceTypes) ||
                       rule.SomeInterfaces || !TrimBlanks(rule.Users).empty() || rule.SecureOnly;
  return limited ? Reach::Some : Reach::All;
}

// What the firewall does on one current profile with datagrams to program at port.
enum class Outcome { LetIn, Blocked, Undecided };

Outcome Judge(const FirewallAnswers& answers, const FirewallProfileAnswers& profile,
              const std::string& program, std::int32_t port) {
  // Where group policy controls the profile, what is read here is this computer's own policy
  // (even whether the firewall is on, Microsoft documents, is the local setting), and its rules
  // cannot be told from group policy's: nothing read is sure to be what is in force.
  if (answers.Local == LocalRules::OverriddenByGroupPolicy) return Outcome::Undecided;
  if (!profile.Enabled) return Outcome::LetIn;
  if (profile.BlocksEverything) return Outcome::Blocked;
  // Incoming traffic refused on some current profile, which the answer does not name: rules
  // decide nothing there.
  if (answers.Local == LocalRules::InboundBlocked) return Outcome::Undecided;
  bool blockAll = false, blockSome = false, allowAll = false, allowSome = false;
  for (const FirewallRule& rule : answers.Rules) {
    if (!Concerns(rule, profile.Profile, program, port)) continue;
    const Reach reach = ReachOf(rule);
    if (reach == Reach::None) continue;
    bool& all = rule.Allows ? allowAll : blockAll;
    bool& some = rule.Allows ? allowSome : blockSome;
    (reach == Reach::All ? all : some) = true;
  }
  // The outcome both where every rule that may apply does and where none of them does; only
  // what the two share is sure.
  const bool worst = blockAll || blockSome || (!allowAll && profile.BlocksByDefault);
  const bool best = blockAll || (!allowAll && !allowSome && profile.BlocksByDefault);
  if (worst && best) return Outcome::Blocked;
  if (!worst && !best) return Outcome::LetIn;
  return Outcome::Undecided;
}

}  // namespace

FirewallVerdict JudgeFirewall(const FirewallAnswers& answers, const std::string& program,
                              std::int32_t port) {
  FirewallVerdict verdict;
  for (const FirewallProfileAnswers& profile : answers.Profiles) {
    if ((answers.CurrentProfiles & profile.Profile) == 0) continue;
    switch (Judge(answers, profile, program, port)) {
      case Outcome::Blocked:
        verdict.Blocking |= profile.Profile;
        break;
      case Outcome::Undecided:
        verdict.Undecided |= profile.Profile;
        break;
      case Outcome::LetIn:
        break;
    }
  }
  return verdict;
}

}  // namespace varo
