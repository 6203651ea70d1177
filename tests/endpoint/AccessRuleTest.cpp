// Who may ask: the setting as the operator writes it, the sources each rule serves, and how often
// standard error names a refused source.
#include "endpoint/AccessRule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "endpoint/RefusedSources.h"

namespace varo {
namespace {

// An address in network byte order, as a datagram carries it.
std::uint32_t Source(unsigned a, unsigned b, unsigned c, unsigned d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

TEST(AccessRule, TheSettingAsWrittenGivesTheRuleDescribedOrKeepsTheDefaultNamingTheBadEntry) {
  struct Case {
    const char* Value;
    const char* Described;
    const char* Problem;
    std::vector<std::string> Ignored;
    const char* EverySource = "";
  };
  const Case cases[] = {
      {"", "local networks only", "", {}},
      {" , ,\t,", "local networks only", "", {}},
      {"  LOCALI ", "local networks only", "", {}},
      {"Tutte", "every source", "", {}},
      {"192.168.1.0/24, 203.0.113.7/32", "loopback, 192.168.1.0/24, 203.0.113.7/32", "", {}},
      {"203.0.113.7 ,10.1.2.3/8", "loopback, 203.0.113.7/32, 10.0.0.0/8", "", {}},
      {"0.0.0.0/0", "loopback, 0.0.0.0/0", "", {}, "0.0.0.0/0"},
      {"10.0.0.0/8, 1.2.3.4/0", "loopback, 10.0.0.0/8, 0.0.0.0/0", "", {}, "1.2.3.4/0"},
      {"0.0.0.0/0, 1.2.3.4\r5", "local networks only", "1.2.3.4?5", {}},
      {"\x01x\x7F\xC2\x85\xC3\xA8", "local networks only", "?x??\xC3\xA8", {}},
      {"fe80::1\x1B", "loopback", "", {"fe80::1?"}},
      {"locali, 203.0.113.0/24",
       "loopback, 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16, 100.64.0.0/10, 169.254.0.0/16, "
       "203.0.113.0/24",
       "",
       {}},
      {"fd00::/8, 198.51.100.1", "loopback, 198.51.100.1/32", "", {"fd00::/8"}},
      {"192.168.1.0/33", "local networks only", "192.168.1.0/33", {}},
      {"10.0.0.0/8, 256.1.1.1", "local networks only", "256.1.1.1", {}},
      {"1.2.3", "local networks only", "1.2.3", {}},
      {"1.2.3.4.5", "local networks only", "1.2.3.4.5", {}},
      {"010.1.1.1", "local networks only", "010.1.1.1", {}},
      {"10.0.0.0/", "local networks only", "10.0.0.0/", {}},
      {"tutte, 10.0.0.0/8", "local networks only", "tutte", {}},
      {"rete di casa", "local networks only", "rete di casa", {}},
  };
  for (const Case& c : cases) {
    const AccessSetting setting = ReadAccessSetting(c.Value);
    EXPECT_EQ(DescribeAccessRule(setting.Rule), c.Described) << c.Value;
    EXPECT_EQ(setting.Problem, c.Problem) << c.Value;
    EXPECT_EQ(setting.Ignored, c.Ignored) << c.Value;
    EXPECT_EQ(setting.EverySourceEntry, c.EverySource) << c.Value;
  }
}

TEST(AccessRule, EachRuleServesItsSourcesAndLoopbackAlways) {
  const AccessRule local = LocalNetworksRule();
  const AccessRule listed = ReadAccessSetting("203.0.113.0/24").Rule;
  const AccessRule everyone = ReadAccessSetting("tutte").Rule;
  struct Case {
    std::uint32_t Source;
    bool Local, Listed;
  };
  const Case cases[] = {
      {Source(127, 0, 0, 1), true, true},       {Source(127, 9, 9, 9), true, true},
      {Source(10, 255, 0, 1), true, false},     {Source(172, 16, 0, 1), true, false},
      {Source(172, 31, 255, 255), true, false}, {Source(172, 32, 0, 1), false, false},
      {Source(192, 168, 50, 2), true, false},   {Source(100, 64, 0, 1), true, false},
      {Source(100, 128, 0, 1), false, false},   {Source(169, 254, 3, 4), true, false},
      {Source(203, 0, 113, 7), false, true},    {Source(203, 0, 114, 7), false, false},
      {Source(8, 8, 8, 8), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MayAsk(local, c.Source), c.Local) << DescribeAccessRule({false, {}}) << c.Source;
    EXPECT_EQ(MayAsk(listed, c.Source), c.Listed) << c.Source;
    EXPECT_TRUE(MayAsk(everyone, c.Source)) << c.Source;
  }
}

// Standard error's line for what is due, if anything.
std::optional<std::string> Told(const std::optional<RefusalNotice>& notice) {
  if (!notice) return std::nullopt;
  return RefusalReport(*notice);
}

TEST(RefusedSources, EachSourceIsNamedOnceAMinuteAndEveryOtherRefusalIsCountedWithinAMinute) {
  using namespace std::chrono_literals;
  const std::string why = ": not a local network; see [Accesso] Reti";
  const std::string counted = " from sources named in the last minute or not named" + why;
  RefusedSources refused;
  const auto start = RefusedSources::Clock::time_point{} + 1h;
  EXPECT_EQ(Told(refused.Refuse(Source(203, 0, 113, 7), start)),
            "refused a request from 203.0.113.7" + why);
  EXPECT_EQ(Told(refused.Refuse(Source(203, 0, 113, 7), start + 59s)), std::nullopt);
  EXPECT_EQ(Told(refused.Flush(start + 59s)), "refused 1 more request" + counted);
  EXPECT_NE(refused.Refuse(Source(203, 0, 113, 7), start + 60s), std::nullopt);
  EXPECT_EQ(Told(refused.Flush(start + 61s)), std::nullopt);  // nothing left to tell

  // 5,000 sources in one second: a thousand are named, the rest counted at the next check, with
  // no further refusal needed to tell them.
  RefusedSources flooded;
  const auto flood = start;
  int named = 0;
  for (unsigned i = 0; i < 5000; ++i) {
    if (flooded.Refuse(Source(198, 51, i / 256, i % 256), flood + i * 200us)) ++named;
  }
  EXPECT_EQ(named, 1000);
  EXPECT_EQ(Told(flooded.Flush(flood + 1s)), "refused 4000 more requests" + counted);
  // One counting line a minute: what comes after one waits for the minute to end.
  EXPECT_EQ(Told(flooded.Refuse(Source(8, 8, 8, 8), flood + 2s)), std::nullopt);
  EXPECT_EQ(Told(flooded.Refuse(Source(198, 51, 3, 1), flood + 2s)), std::nullopt);  // named before
  EXPECT_EQ(Told(flooded.Flush(flood + 60s)), std::nullopt);
  EXPECT_EQ(Told(flooded.Flush(flood + 61s)), "refused 2 more requests" + counted);
  // Ending, what is left is told at once.
  EXPECT_EQ(Told(refused.Refuse(Source(203, 0, 113, 7), start + 62s)), std::nullopt);
  EXPECT_EQ(Told(refused.Flush(start + 62s)), std::nullopt);
  EXPECT_EQ(Told(refused.Flush(start + 62s, true)), "refused 1 more request" + counted);
  // A minute after they were named, remembered sources make room for new ones.
  EXPECT_EQ(Told(flooded.Refuse(Source(8, 8, 4, 4), flood + 61s)),
            "refused a request from 8.8.4.4" + why);
  // The count equals what the lines told: 1,000 + 4,000 + 2 + 1.
  EXPECT_EQ(flooded.Count(), 5003u);
  EXPECT_EQ(refused.Count(), 4u);
}

}  // namespace
}  // namespace varo
