// The program of this build as a process: five starts at once, and a settings folder that is a
// plain file.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "ProgramFiles.h"
#include "RequestBuilder.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Whether an unknown-pair request to port is answered at replies within the time.
bool Serves(UdpPeer& client, UdpPeer& replies, std::uint16_t port, double seconds) {
  const auto deadline = steady_clock::now() + std::chrono::duration<double>(seconds);
  while (steady_clock::now() < deadline) {
    client.SendTo(port, Request(999, 9, {1, 2, 3}));
    if (auto reply = replies.Receive(milliseconds(100))) {
      return *reply == Concat({ReplyHeaderFor(Request(999, 9, {1, 2, 3}), 3), {0, 0, 0}});
    }
  }
  return false;
}

// Whether nothing is bound to the UDP port on any address.
bool PortFree(std::uint16_t port) {
  try {
    UdpPeer probe(port, "0.0.0.0");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

TEST(ProcessFaults, OfFiveStartsAtOnceExactlyOneServesAndFourEndAtOnce) {
  TempDir root;
  const Environment env = ProgramEnvironment(root.Path());
  UdpPeer client, replies;
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(root.Path() / "config", inPort, replies.Port());

  std::vector<std::unique_ptr<ChildProcess>> starts;
  for (int i = 0; i < 5; ++i) {
    starts.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM},
                                                    env, root.Path(), "start" + std::to_string(i)));
  }
  ASSERT_TRUE(Serves(client, replies, inPort, 20.0)) << starts[0]->StandardError();

  int ended = 0;
  ChildProcess* running = nullptr;
  for (auto& start : starts) {
    const auto code = start->WaitExit(5.0);
    if (code) {
      EXPECT_EQ(*code, 0) << start->StandardError();
      EXPECT_EQ(start->OutputLines(), 0u);
      ++ended;
    } else {
      running = start.get();
    }
  }
  EXPECT_EQ(ended, 4);
  ASSERT_NE(running, nullptr);
  EXPECT_TRUE(Serves(client, replies, inPort, 5.0));
  running->Signal(SIGTERM);
  EXPECT_EQ(running->WaitExit(5.0), 0) << running->StandardError();
}

TEST(ProcessFaults, ASettingsFolderThatIsAFileStartsOnTheDefaultPorts) {
  TempDir root;
  const Environment env = ProgramEnvironment(root.Path());
  const auto folder = root.Path() / "config" / "Quillmarch" / "Quillmarch Varo Server";
  std::filesystem::create_directories(folder.parent_path());
  {
    std::ofstream out(folder, std::ios::binary);
    out << "not a folder";
  }
  // The program can only be seen on its defaults where nobody else holds them.
  if (!PortFree(7770) || !PortFree(7000)) {
    GTEST_SKIP() << "port 7770 or 7000 is taken on this machine; the defaults are checked "
                    "through the settings reader in SettingsKill instead";
  }
  UdpPeer replies(7000);
  UdpPeer client;
  ChildProcess server({VARO_SERVER_PROGRAM}, env, root.Path(), "server");
  EXPECT_TRUE(Serves(client, replies, 7770, 20.0)) << server.StandardError();
  EXPECT_NE(server.StandardError().find("settings folder"), std::string::npos)
      << server.StandardError();
  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(5.0), 0) << server.StandardError();
  std::ifstream in(folder, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "not a folder");
}

}  // namespace
}  // namespace varo::test
