// Who may ask, for real: the program serves inside a network namespace of the test's own, holding
// only its loopback interface, on which documentation addresses stand in for a LAN host and an
// internet host. Nothing of it reaches the machine's own network.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ProgramFiles.h"
#include "RequestBuilder.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

const std::string Internet = "203.0.113.7";
const std::string Lan = "192.168.50.2";
const std::string Loopback = "127.0.0.1";

// The names of the network interfaces this process sees.
std::vector<std::string> Interfaces() {
  std::vector<std::string> names;
  if (struct if_nameindex* all = if_nameindex()) {
    for (struct if_nameindex* i = all; i->if_index != 0; ++i) names.emplace_back(i->if_name);
    if_freenameindex(all);
  }
  return names;
}

// The number of times text occurs in a file's content.
std::size_t Occurrences(const std::string& content, const std::string& text) {
  std::size_t count = 0;
  for (auto at = content.find(text); at != std::string::npos; at = content.find(text, at + 1)) {
    ++count;
  }
  return count;
}

TEST(WhoMayAsk, InAPrivateNetworkOnlyLocalSourcesAreServedUnlessTheSettingSaysOtherwise) {
  if (geteuid() != 0) GTEST_SKIP() << "a network namespace of its own needs root";
  if (unshare(CLONE_NEWNET) != 0) {
    GTEST_SKIP() << "no network namespace of its own: " << std::strerror(errno);
  }
  // From here on never the machine's own network: fail rather than go on in it.
  ASSERT_EQ(Interfaces(), std::vector<std::string>{"lo"});
  ASSERT_EQ(std::system(("ip link set lo up && ip addr add " + Internet + "/32 dev lo && " +
                         "ip addr add " + Lan + "/32 dev lo")
                            .c_str()),
            0);

  struct Case {
    const char* Setting;  // nothing when the key is absent
    bool InternetServed, LanServed;
  };
  const Case cases[] = {
      {nullptr, false, true}, {"tutte", true, true}, {"203.0.113.0/24", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Setting ? c.Setting : "no setting");
    TempDir root;
    const std::uint16_t inPort = FreeUdpPort(), outPort = FreeUdpPort();
    const auto settings = WritePorts(root.Path() / "config", inPort, outPort);
    if (c.Setting)
      std::ofstream(settings, std::ios::app) << "[Accesso]\nReti=" << c.Setting << "\n";
    MakeEmptyArchive(root.Path() / "home");
    ChildProcess server({VARO_SERVER_PROGRAM}, ProgramEnvironment(root.Path()), root.Path(),
                        "server");

    // Each source sends from, and gets its replies at, an address of its own.
    struct Host {
      std::string Address;
      bool Served;
      std::unique_ptr<UdpPeer> Sender, Replies;
    };
    Host hosts[] = {{Loopback, true, nullptr, nullptr},
                    {Lan, c.LanServed, nullptr, nullptr},
                    {Internet, c.InternetServed, nullptr, nullptr}};
    for (Host& host : hosts) {
      host.Sender = std::make_unique<UdpPeer>(0, host.Address);
      host.Replies = std::make_unique<UdpPeer>(outPort, host.Address);
    }
    // Served in order: once a loopback probe is answered, every earlier request got its reply,
    // if any. Replies to loopback that are not the probe's are counted.
    std::uint8_t tag = 0;
    int loopbackReplies = 0;
    const auto probeAnswered = [&](double seconds) {
      ++tag;
      hosts[0].Sender->SendTo(inPort, Request(999, 9, {}, tag), Loopback);
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
      while (std::chrono::steady_clock::now() < deadline) {
        const auto reply = hosts[0].Replies->Receive(milliseconds(100));
        if (reply && reply->size() == 23 && (*reply)[0] == tag) return true;
        if (reply && reply->size() > 23) ++loopbackReplies;
      }
      return false;
    };
    bool up = false;
    for (int attempt = 0; attempt < 50 && !up; ++attempt) up = probeAnswered(0.2);
    ASSERT_TRUE(up) << server.StandardError();
    const std::size_t linesBefore = server.OutputLines();

    std::size_t servedLists = 0;
    for (Host& host : hosts) {
      for (int i = 0; i < 2; ++i) {
        host.Sender->SendTo(inPort, Request(510, 1, {1, 0, 1, 0, 9}), host.Address);
        ASSERT_TRUE(probeAnswered(5.0)) << host.Address;
        if (&host != &hosts[0]) {
          EXPECT_EQ(host.Replies->Receive(milliseconds(0)).has_value(), host.Served)
              << host.Address;
        }
      }
      if (host.Served) servedLists += 2;
    }
    EXPECT_EQ(loopbackReplies, 2);
    // Two log lines for each list served, none for one refused.
    EXPECT_TRUE(server.WaitForOutputLines(linesBefore + 2 * servedLists, 5.0));
    // A refused host's second request is counted on its own, with no further refusal: within a
    // check of the program's, every few seconds.
    const std::string counted = "refused 1 more request from ";
    const bool anyRefused = !c.InternetServed || !c.LanServed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (anyRefused && Occurrences(server.StandardError(), counted) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(100));
    }
    EXPECT_EQ(Occurrences(server.StandardError(), counted), anyRefused ? 1u : 0u);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitExit(5.0), 0);
    EXPECT_EQ(server.OutputLines(), linesBefore + 2 * servedLists) << server.StandardOutput();
    const std::string err = server.StandardError();
    for (const Host& host : hosts) {
      const std::string named = "refused a request from " + host.Address + ":";
      EXPECT_EQ(Occurrences(err, named), host.Served ? 0u : 1u) << err;
    }
    EXPECT_EQ(Occurrences(err, counted), anyRefused ? 1u : 0u) << err;  // and only once
  }
}

}  // namespace
}  // namespace varo::test
