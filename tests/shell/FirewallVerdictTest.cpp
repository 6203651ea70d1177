// Whether the firewall's answers mean that requests would be blocked, on the networks of which
// profiles: the rule that the Windows program applies to what Windows Firewall answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/FirewallVerdict.h"

namespace varo::test {
namespace {

const std::string Program =
    "C:\\Users\\Niccolò\\AppData\\Local\\Programs\\Quillmarch Varo Server\\"
    "quillmarch-varo-server.exe";
constexpr std::int32_t Port = 7770;

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

// The firewall on for the public profile, blocking what no rule allows.
constexpr FirewallProfileAnswers PublicBlocking{FirewallPublic, true, true, false};
constexpr FirewallProfileAnswers PrivateBlocking{FirewallPrivate, true, true, false};

TEST(FirewallVerdict, NamesTheNetworksWhoseFirewallWouldBlockRequests) {
  const std::string upperCase =
      "c:\\USERS\\Niccolò\\APPDATA\\Local\\Programs\\Quillmarch Varo Server\\"
      "QUILLMARCH-VARO-SERVER.EXE";
  const std::uint32_t every = 0x7FFFFFFF;  // a rule for all profiles
  FirewallRule disabled = Rule(true, every, Program, "*");
  disabled.Enabled = false;
  FirewallRule outbound = Rule(true, every, "", "7770");
  outbound.Inbound = false;
  FirewallRule ofAService = Rule(true, every, "", "7770");
  ofAService.Service = "Dnscache";
  FirewallRule blockFromSome = Rule(false, FirewallPublic, Program, "*");
  blockFromSome.RemoteAddresses = "203.0.113.0/255.255.255.0";

  const struct {
    const char* Case;
    FirewallAnswers Answers;
    std::uint32_t Blocking;
  } cases[] = {
      {"a public network and no rule", {FirewallPublic, {PublicBlocking}, {}}, FirewallPublic},
      {"the program allowed, its path in other letter case",
       {FirewallPublic,
        {PublicBlocking},
        {Rule(true, FirewallPrivate | FirewallPublic, upperCase, "*")}},
       0},
      {"any program allowed on a range of ports",
       {FirewallPublic, {PublicBlocking}, {Rule(true, FirewallPublic, "", " 7000 - 7800")}},
       0},
      {"the port in a list, any protocol",
       {FirewallPublic, {PublicBlocking}, {Rule(true, every, "", "80,7770", FirewallAnyProtocol)}},
       0},
      {"the program allowed on private networks only",
       {FirewallPublic, {PublicBlocking}, {Rule(true, FirewallPrivate, Program, "*")}},
       FirewallPublic},
      {"allowed for TCP, another program, ports short of it, a named port, disabled, outbound, "
       "a service's",
       {FirewallPublic,
        {PublicBlocking},
        {Rule(true, every, Program, "7770", 6), Rule(true, every, Program + ".old", "*"),
         Rule(true, every, "", "7771-7800,7000-7769"), Rule(true, every, "", "RPC"), disabled,
         outbound, ofAService}},
       FirewallPublic},
      {"the firewall off", {FirewallPublic, {{FirewallPublic, false, true, true}}, {}}, 0},
      {"incoming traffic allowed by default",
       {FirewallPublic, {{FirewallPublic, true, false, false}}, {}},
       0},
      {"a block for the program wins over a port allowed",
       {FirewallPublic,
        {PublicBlocking},
        {Rule(true, every, "", "7770"), Rule(false, FirewallPublic, Program, "*")}},
       FirewallPublic},
      {"a block from some sources leaves the program allowed",
       {FirewallPublic, {PublicBlocking}, {Rule(true, every, Program, "*"), blockFromSome}},
       0},
      {"everything blocked, allowed programs too",
       {FirewallPublic, {{FirewallPublic, true, true, true}}, {Rule(true, every, Program, "*")}},
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
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(BlockingProfiles(entry.Answers, Program, Port), entry.Blocking) << entry.Case;
  }
}

}  // namespace
}  // namespace varo::test
