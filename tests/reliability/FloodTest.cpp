// The optimised program flooded with datagrams as fast as one socket can send them: it keeps
// serving one request at a time, the kernel drops what does not fit its socket buffer, and its
// memory does not follow the flood.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
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

constexpr int FloodDatagrams = 20000;
constexpr long MemoryGrowthLimitKb = 2 * 1024;

TEST(Flood, TwentyThousandDatagramsAtOnceLeaveTheServerAnsweringWithFlatMemory) {
  const char* program = std::getenv("VARO_RELEASE_SERVER");
  if (program == nullptr || *program == '\0') {
    GTEST_SKIP() << "VARO_RELEASE_SERVER is not set: it names the optimised "
                    "quillmarch-varo-server this flood test drives";
  }
  TempDir root;
  const Environment env = ProgramEnvironment(root.Path());
  const auto home = root.Path() / "home";
  const auto calcio = TotocalcioFolderIn(home);
  TotogolFolderIn(home);
  for (int i = 1; i <= 62; ++i) {
    WriteBytes(calcio / ("s" + std::to_string(100 + i) + ".tcl." + std::to_string(i)),
               Columns(64, 0x07));
  }
  UdpPeer replies;
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(root.Path() / "config", inPort, replies.Port());
  ChildProcess server({program}, env, root.Path(), "server");

  UdpPeer client;
  const auto ask = [&](std::uint8_t tag, double seconds) {
    const auto deadline = steady_clock::now() + std::chrono::duration<double>(seconds);
    client.SendTo(inPort, Request(999, 9, {}, tag));
    while (steady_clock::now() < deadline) {
      const auto reply = replies.Receive(milliseconds(50));
      if (reply && (*reply)[0] == tag) return true;
    }
    return false;
  };
  bool up = false;
  for (int i = 0; i < 50 && !up; ++i) up = ask(0x01, 0.2);
  ASSERT_TRUE(up) << server.StandardError();
  // Warm up until the window's log holds its latest 10,000 lines, so the flood's log lines
  // replace old ones instead of adding to the baseline.
  for (int i = 0; i < 5100; ++i) {
    client.SendTo(inPort, Request(510, 1, {1, 0, 1, 0, 1}, 0x02));
    ASSERT_TRUE(replies.Receive(milliseconds(2000)).has_value()) << "warm-up request " << i;
  }
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(ask(0x02, 2.0));
  while (replies.Receive(milliseconds(200))) {
  }
  const long beforeKb = server.ResidentKilobytes();

  // Full lists (62 entries read from disk), the largest echo and malformed datagrams, in turn.
  const Bytes kinds[] = {Request(510, 1, {1, 0, 1, 0xFF, 0xFF}, 0x10),
                         Request(999, 9, Bytes(2000, 0x55), 0x11), Bytes(8192, 0x22),
                         Bytes(5, 0x33)};
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(inPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  long peakKb = beforeKb;
  std::size_t answered = 0;
  const auto started = steady_clock::now();
  for (int i = 0; i < FloodDatagrams; ++i) {
    const Bytes& datagram = kinds[i % 4];
    // Failures (a full send buffer) count as datagrams the network lost.
    ::sendto(fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (i % 1000 == 0) peakKb = std::max(peakKb, server.ResidentKilobytes());
    while (replies.Receive(milliseconds(0))) ++answered;
  }
  ::close(fd);
  const double floodSeconds = std::chrono::duration<double>(steady_clock::now() - started).count();

  // Still answering once the flood is over: a tagged probe comes back within a bounded time.
  bool answers = false;
  for (int i = 0; i < 20 && !answers; ++i) {
    answers = ask(0x7F, 2.0);
    while (auto extra = replies.Receive(milliseconds(0))) ++answered;
  }
  EXPECT_TRUE(answers) << server.StandardError();
  while (replies.Receive(milliseconds(300))) ++answered;
  const long afterKb = server.ResidentKilobytes();
  peakKb = std::max(peakKb, afterKb);

  std::ostringstream figures;
  figures << FloodDatagrams << " datagrams sent in " << floodSeconds << " s, " << answered
          << " replies received (the malformed half gets none), VmRSS " << beforeKb
          << " kB before, peak " << peakKb << " kB, " << afterKb << " kB after";
  RecordProperty("figures", figures.str());
  std::printf("%s\n", figures.str().c_str());
  ASSERT_GT(beforeKb, 0);
  EXPECT_LE(peakKb - beforeKb, MemoryGrowthLimitKb);
  EXPECT_LE(afterKb - beforeKb, MemoryGrowthLimitKb);
  EXPECT_GT(answered, 0u);
  EXPECT_LE(answered, static_cast<std::size_t>(FloodDatagrams / 2));

  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(5.0), 0) << server.StandardError();
}

}  // namespace
}  // namespace varo::test
