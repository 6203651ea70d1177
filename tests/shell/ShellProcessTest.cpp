// The real program as a process on the offscreen platform: settings, single instance, serving,
// and its end by signal.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "platform/InstanceLock.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

class ShellProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = dir_.Path() / "config";
    runtime_ = dir_.Path() / "run";
    env_ = ProgramEnvironment(dir_.Path());
  }

  std::unique_ptr<ChildProcess> Start(const std::string& tag) {
    return std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env_,
                                          dir_.Path(), tag);
  }

  // Sends the request again and again until a reply comes, for at most `seconds`.
  std::optional<Bytes> Ask(std::uint16_t port, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      client_.SendTo(port, UnknownPairRequest());
      if (auto reply = replies_.Receive(milliseconds(100))) return reply;
    }
    return std::nullopt;
  }

  TempDir dir_;
  std::filesystem::path config_;
  std::filesystem::path runtime_;
  Environment env_;
  UdpPeer client_;
  UdpPeer replies_;
};

TEST_F(ShellProcess, ASecondInstanceEndsAtOnceAfterMakingTheSettingsFolder) {
  // This test holds the lock, so the program is the second instance and binds nothing.
  InstanceLock first((runtime_ / "Quillmarch Varo server.lock").string());
  ASSERT_FALSE(first.HeldElsewhere());
  auto second = Start("second");
  EXPECT_EQ(second->WaitExit(5.0), 0);
  EXPECT_TRUE(std::filesystem::is_directory(config_ / "Quillmarch" / "Quillmarch Varo Server"));
  EXPECT_FALSE(std::filesystem::exists(SettingsFileBelow(config_)));  // start-up writes nothing
  EXPECT_EQ(second->StandardOutput(), "");
  EXPECT_EQ(second->StandardError(),
            "quillmarch-varo-server: an instance is already running for this user\n");
}

TEST_F(ShellProcess, HelpAndVersionAnswerAndEndBeforeAnythingElse) {
  for (const char* argument : {"--version", "--help"}) {
    ChildProcess asked({VARO_SERVER_PROGRAM, "-platform", "offscreen", argument}, env_, dir_.Path(),
                       argument);
    EXPECT_EQ(asked.WaitExit(5.0), 0) << argument;
    EXPECT_TRUE(asked.StandardOutput().starts_with(std::string(argument) == "--version"
                                                       ? "quillmarch-varo-server 1.15\n"
                                                       : "usage: quillmarch-varo-server "))
        << asked.StandardOutput();
  }
  EXPECT_FALSE(std::filesystem::exists(config_));  // not even the settings folder
}

TEST_F(ShellProcess, StartUpTellsVersionPortsAndFoldersAndDeletionsTellWhoAsked) {
  const auto base = ArchiveBelow(dir_.Path() / "home");
  std::filesystem::create_directories(base / "Totocalcio");  // Totogol stays missing
  std::ofstream(base / "Totocalcio" / "s.tcl.7") << std::string(14, '\x01');
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = Start("report");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();

  // Command 510 (01 FE), SubCommand 2, DataLength 5; payload: game 1, code 7 (00 00 00 07).
  client_.SendTo(inPort, {0, 0, 0, 0, 0, 0, 0,    0,    0x00, 0x05, 0,    0,    0,    0,
                          0, 0, 0, 0, 0, 0, 0x01, 0xFE, 0x02, 0x01, 0x00, 0x00, 0x00, 0x07});
  const auto deleted = replies_.Receive(milliseconds(5000));
  ASSERT_TRUE(deleted.has_value());
  EXPECT_EQ(Bytes(deleted->end() - 2, deleted->end()), (Bytes{0x00, 0x01}));
  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0) << server->StandardError();

  // Exactly these lines: a headless start draws no warnings of the toolkit either.
  const std::string expected = "Quillmarch Varo Server 1.15\nlistening on input port " +
                               std::to_string(inPort) + ", replies to output port " +
                               std::to_string(replies_.Port()) +
                               "\nTotocalcio systems: " + (base / "Totocalcio").string() +
                               "\nTotogol systems: missing " + (base / "Totogol").string() + "\n";
  const std::string err = server->StandardError();
  ASSERT_TRUE(err.starts_with(expected)) << err;
  EXPECT_TRUE(std::regex_match(
      err.substr(expected.size()),
      std::regex(
          "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d deleted at the request of 127\\.0\\.0\\.1 "
          "port " +
          std::to_string(client_.Port()) + ": [^\n]*/Totocalcio/s\\.tcl\\.7\n")))
      << err;
}

TEST_F(ShellProcess, ServesTheStoredPortsOnceAndEndsCleanlyOnTerm) {
  const std::uint16_t inPort = FreeUdpPort();
  const auto settings = WritePorts(config_, inPort, replies_.Port());
  const std::string before = FileBytes(settings);

  auto server = Start("first");
  const auto reply = Ask(inPort, 10.0);
  ASSERT_TRUE(reply.has_value()) << server->StandardError();
  EXPECT_EQ(*reply, UnknownPairReply());
  EXPECT_EQ(replies_.LastSourcePort(), inPort);  // the reply leaves from the input port

  // A second start ends at once and the first keeps serving.
  auto second = Start("second");
  EXPECT_EQ(second->WaitExit(5.0), 0);
  EXPECT_EQ(Ask(inPort, 5.0), UnknownPairReply());

  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0) << server->StandardError();
  // No handler logged, so standard output stayed empty; the settings were not rewritten.
  EXPECT_EQ(server->StandardOutput(), "") << server->StandardOutput();
  EXPECT_EQ(second->StandardOutput(), "");
  EXPECT_EQ(FileBytes(settings), before);

  // The port and the lock were let go together: a start right after serves on the same port.
  auto next = Start("next");
  EXPECT_EQ(Ask(inPort, 10.0), UnknownPairReply()) << next->StandardError();
  next->Signal(SIGINT);
  EXPECT_EQ(next->WaitExit(2.0), 0) << next->StandardError();
}

TEST_F(ShellProcess, StandardOutputCarriesTheLogLinesAndNothingElse) {
  MakeEmptyArchive(dir_.Path() / "home");
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = Start("logging");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();
  client_.SendTo(inPort, TotocalcioListRequest());
  EXPECT_EQ(replies_.Receive(milliseconds(5000)), EmptyTotocalcioListReply());
  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0) << server->StandardError();
  EXPECT_TRUE(std::regex_match(server->StandardOutput(),
                               std::regex("Richiesta lista Totocalcio \\[[^\n]+\\]\n"
                                          "Elenco inviato \\(0\\) \\[[^\n]+\\]\n")))
      << server->StandardOutput();
}

TEST_F(ShellProcess, WithStandardOutputClosedTheLogGoesNowhereElse) {
  MakeEmptyArchive(dir_.Path() / "home");
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" 1>&-", VARO_SERVER_PROGRAM}, env_,
      dir_.Path(), "closed");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();
  client_.SendTo(inPort, TotocalcioListRequest());
  EXPECT_EQ(replies_.Receive(milliseconds(5000)), EmptyTotocalcioListReply());
  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0) << server->StandardError();
  // The lock file would have taken descriptor 1 and received every log line.
  EXPECT_EQ(FileBytes(runtime_ / "Quillmarch Varo server.lock"), "");
  EXPECT_EQ(server->StandardError().find("Richiesta"), std::string::npos);
}

TEST_F(ShellProcess, AKilledInstanceDoesNotBlockTheNextStart) {
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto killed = Start("killed");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << killed->StandardError();
  killed->Signal(SIGKILL);
  ASSERT_TRUE(killed->WaitEnded(5.0));

  auto next = Start("next");
  EXPECT_EQ(Ask(inPort, 10.0), UnknownPairReply()) << next->StandardError();
  next->Signal(SIGTERM);
  EXPECT_EQ(next->WaitExit(2.0), 0);
}

TEST_F(ShellProcess, ADisplayThatCannotBeReachedFallsBackToServingHeadless) {
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  env_["DISPLAY"] = ":59999";  // no X server answers there
  auto server = Start("unreachable");
  EXPECT_EQ(Ask(inPort, 10.0), UnknownPairReply()) << server->StandardError();
  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0) << server->StandardError();
}

TEST_F(ShellProcess, AHeadlessStartWhoseInputPortIsTakenEndsWithOneAndSaysWhy) {
  UdpPeer holder;  // takes the port the program will try
  WritePorts(config_, holder.Port(), replies_.Port());
  auto server = Start("taken");
  // Nobody could choose another port without a display: it ends instead of listening on nothing.
  EXPECT_EQ(server->WaitExit(10.0), 1) << server->StandardError();
  const std::string err = server->StandardError();
  EXPECT_NE(err.find("quillmarch-varo-server: Could not bind socket. Address and port are already "
                     "in use.\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("input port " + std::to_string(holder.Port()) + " is in use"),
            std::string::npos)
      << err;
  EXPECT_EQ(server->StandardOutput(), "");
}

}  // namespace
}  // namespace varo::test
