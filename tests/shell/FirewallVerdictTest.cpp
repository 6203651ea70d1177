// Whether the firewall's answers mean that requests would be blocked, on the networks of which
// profiles: the rule that the Windows program applies to what Windows Firewall answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/FirewallVerdict.h"

#ifdef _WIN32
#include <windows.h>

#include <cctype>

#include "TempDir.h"
#include "platform/win32/WideText.h"
#endif

namespace varo::test {
namespace {

const std::string Program =
    "C:\\Users\\Niccolò\\AppData\\Local\\Programs\\Quillmarch Varo Server\\"
    "quillmarch-varo-server.exe";
constexpr std::int32_t Port = 7770;
constexpr std::uint32_t Every = 0x7FFFFFFF;  // a rule for all profiles

// An inbound rule in force on profiles, for datagrams to program (empty: any) at ports.
FirewallRule Rule(bool allows, std::uint32_t profiles, std::string program, std::string ports,
                  int protocol = FirewallUdp) {
  FirewallRule rule;
  rule.Enabled = true;
  rule.Inbound = true;
  rule.Allows = allows;
  rule.Profiles = profiles;
  rule.Application = std::move(program);
  rule.Protocol = protocol;
  rule.LocalPorts = std::move(ports);
  return rule;
}

// The program allowed on every profile, then limited as limit says.
template <typename Limit>
FirewallRule AllowedWith(Limit limit) {
  FirewallRule rule = Rule(true, Every, Program, "*");
  limit(rule);
  return rule;
}

// The firewall on for the public profile, blocking what no rule allows.
constexpr FirewallProfileAnswers PublicBlocking{FirewallPublic, true, true, false};
constexpr FirewallProfileAnswers PrivateBlocking{FirewallPrivate, true, true, false};

struct Row {
  std::string Case;
  FirewallAnswers Answers;
  std::uint32_t Blocking;
  std::uint32_t Undecided = 0;
  std::string Running = Program;  // the running program's path as the system gave it
};

// A public network whose firewall blocks what rules do not allow.
FirewallAnswers PublicWith(std::vector<FirewallRule> rules, LocalRules local = LocalRules::Apply) {
  return {FirewallPublic, {PublicBlocking}, std::move(rules), local};
}

#ifdef _WIN32
// text with its ASCII letters made capitals, as a rule typed by hand may have it.
std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The 8.3 short form of an existing path, or the path itself where the volume gives none.
std::string ShortForm(const std::string& path) {
  const std::wstring wide = win32::Widen(path);
  std::wstring shortPath(MAX_PATH * 4, L'\0');
  const DWORD length =
      GetShortPathNameW(wide.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (length == 0 || length >= shortPath.size()) return path;
  shortPath.resize(length);
  return win32::Narrow(shortPath);
}
#endif

TEST(FirewallVerdict, SaysOnlyWhatSurelyHappensToRequestsOnTheCurrentNetworks) {
  FirewallRule disabled = Rule(true, Every, Program, "*");
  disabled.Enabled = false;
  FirewallRule outbound = Rule(true, Every, "", "7770");
  outbound.Inbound = false;
  FirewallRule ofAService = Rule(true, Every, "", "7770");
  ofAService.Service = "Dnscache";
  FirewallRule blockFromSome = Rule(false, FirewallPublic, Program, "*");
  blockFromSome.RemoteAddresses = "203.0.113.0/255.255.255.0";
  const FirewallRule allowed = Rule(true, Every, Program, "*");

  std::vector<Row> rows = {
      {"a public network and no rule", PublicWith({}), FirewallPublic},
      {"any program allowed on a range of ports",
       PublicWith({Rule(true, FirewallPublic, "", " 7000 - 7800")}), 0},
      {"the port in a list, any protocol",
       PublicWith({Rule(true, Every, "", "80,7770", FirewallAnyProtocol)}), 0},
      {"the program allowed on private networks only",
       PublicWith({Rule(true, FirewallPrivate, Program, "*")}), FirewallPublic},
      {"allowed for TCP, another program, ports short of it, a named port, disabled, outbound, "
       "a service's",
       PublicWith({Rule(true, Every, Program, "7770", 6), Rule(true, Every, Program + ".old", "*"),
                   Rule(true, Every, "", "7771-7800,7000-7769"), Rule(true, Every, "", "RPC"),
                   disabled, outbound, ofAService}),
       FirewallPublic},
      {"the firewall off", {FirewallPublic, {{FirewallPublic, false, true, true}}, {}}, 0},
      {"incoming traffic allowed by default",
       {FirewallPublic, {{FirewallPublic, true, false, false}}, {}},
       0},
      {"a block for the program wins over its port allowed",
       PublicWith({Rule(true, Every, "", "7770"), Rule(false, FirewallPublic, Program, "*")}),
       FirewallPublic},
      {"a block for every program wins over this one allowed",
       PublicWith({allowed, Rule(false, Every, "", "7770", FirewallAnyProtocol)}), FirewallPublic},
      {"a block from some sources: others get in, those do not",
       PublicWith({allowed, blockFromSome}), 0, FirewallPublic},
      {"everything blocked, allowed programs too",
       {FirewallPublic, {{FirewallPublic, true, true, true}}, {allowed}},
       FirewallPublic},
      {"two networks, the private one allowed",
       {FirewallPrivate | FirewallPublic,
        {PrivateBlocking, PublicBlocking},
        {Rule(true, FirewallPrivate, Program, "*")}},
       FirewallPublic},
      {"two networks, both blocking",
       {FirewallPrivate | FirewallPublic, {PrivateBlocking, PublicBlocking}, {}},
       FirewallPrivate | FirewallPublic},
      {"a blocking profile not connected now",
       {FirewallPrivate, {{FirewallPrivate, true, false, false}, PublicBlocking}, {}},
       0},

      // Allowing rules that do not surely reach this program's requests.
      {"allowed for an app package, which this program is not",
       PublicWith({AllowedWith([](FirewallRule& r) { r.AppPackage = "S-1-15-2-1"; })}),
       FirewallPublic},
      {"allowed for some users only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.Users = "O:LSD:(A;;CC;;;S-1-5-21-7)"; })}),
       0, FirewallPublic},
      {"allowed on wireless interfaces only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.InterfaceTypes = "Wireless"; })}), 0,
       FirewallPublic},
      {"allowed on all interface types",
       PublicWith({AllowedWith([](FirewallRule& r) { r.InterfaceTypes = "ALL"; })}), 0},
      {"allowed on named interfaces only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.SomeInterfaces = true; })}), 0,
       FirewallPublic},
      {"allowed at one local address only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.LocalAddresses = "192.0.2.7"; })}), 0,
       FirewallPublic},
      {"allowed from some senders' ports only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.RemotePorts = "7000"; })}), 0,
       FirewallPublic},
      {"allowed for IPsec-authenticated traffic only",
       PublicWith({AllowedWith([](FirewallRule& r) { r.SecureOnly = true; })}), 0, FirewallPublic},
      {"allowed on one interface where traffic is let in by default",
       {FirewallPublic, {{FirewallPublic, true, false, false}}, {AllowedWith([](FirewallRule& r) {
          r.SomeInterfaces = true;
        })}},
       0},

      // What this computer's own policy says, where it may not be what is in force.
      {"group policy controls the profile, the program allowed locally",
       PublicWith({allowed}, LocalRules::OverriddenByGroupPolicy), 0, FirewallPublic},
      {"group policy controls the profile, no rule for the program",
       PublicWith({}, LocalRules::OverriddenByGroupPolicy), 0, FirewallPublic},
      {"incoming traffic refused on a current profile, the program allowed",
       PublicWith({allowed}, LocalRules::InboundBlocked), 0, FirewallPublic},
  };

#ifdef _WIN32
  // Program paths as Windows compares them: a real folder with an accented name, so its long and
  // short names come from the file system.
  TempDir dir;
  const std::string folder =
      Utf8(dir.WriteFile("Niccolò/quillmarch-varo-server.exe", "MZ").parent_path().parent_path());
  const std::string running = folder + "\\Niccolò\\quillmarch-varo-server.exe";
  const std::string capitals = AsciiUpper(folder) + "\\NICCOLÒ\\QUILLMARCH-VARO-SERVER.EXE";
  rows.push_back({"the program allowed, its path written in capitals, accents too",
                  PublicWith({Rule(true, Every, capitals, "*")}), 0, 0, running});
  rows.push_back({"the program blocked, written in capitals, beside the program allowed",
                  PublicWith({Rule(true, Every, running, "*"), Rule(false, Every, capitals, "*")}),
                  FirewallPublic, 0, running});
  rows.push_back(
      {"another folder whose name differs by its accent",
       PublicWith({Rule(true, Every, folder + "\\Niccolo\\quillmarch-varo-server.exe", "*")}),
       FirewallPublic, 0, running});
  const std::string shortRunning = ShortForm(running);
  if (shortRunning != running) {
    rows.push_back({"the program started by its short (8.3) path, allowed by its long one",
                    PublicWith({Rule(true, Every, running, "*")}), 0, 0, shortRunning});
    rows.push_back({"the program allowed by its short (8.3) path",
                    PublicWith({Rule(true, Every, AsciiUpper(shortRunning), "*")}), 0, 0, running});
  } else {
    // Without short names on the volume (Wine gives them; a volume may have them disabled) the 8.3
    // rows cannot be made.
    ADD_FAILURE() << "no short name for " << running;
  }
#endif

  for (const Row& row : rows) {
    const FirewallVerdict verdict = JudgeFirewall(row.Answers, row.Running, Port);
    EXPECT_EQ(verdict.Blocking, row.Blocking) << row.Case;
    EXPECT_EQ(verdict.Undecided, row.Undecided) << row.Case;
  }
}

}  // namespace
}  // namespace varo::test
