// The real program as a process on the offscreen platform: settings, single instance, serving,
// and its end by signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "ShellTestSupport.h"
#include "TempDir.h"
#include "platform/InstanceLock.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

class ShellProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = dir_.Path() / "config";
    runtime_ = dir_.Path() / "run";
    std::filesystem::create_directories(dir_.Path() / "home");
    std::filesystem::create_directories(runtime_);
    ::chmod(runtime_.c_str(), 0700);
    env_ = EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    env_["HOME"] = (dir_.Path() / "home").string();
    env_["XDG_CONFIG_HOME"] = config_.string();
    env_["XDG_RUNTIME_DIR"] = runtime_.string();
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
  std::map<std::string, std::string> env_;
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

TEST_F(ShellProcess, ATakenInputPortIsReportedAndTheProgramStaysUp) {
  UdpPeer holder;  // takes the port the program will try
  WritePorts(config_, holder.Port(), replies_.Port());
  auto server = Start("taken");
  // The message goes to standard error, since nobody can see a box on the offscreen platform.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server->StandardError().find(
             "Could not bind socket. Address and port are already in use.") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_NE(server->StandardError().find("quillmarch-varo-server: Could not bind socket. Address "
                                         "and port are already in use."),
            std::string::npos)
      << server->StandardError();
  EXPECT_FALSE(server->WaitEnded(0.5));
  server->Signal(SIGTERM);
  EXPECT_EQ(server->WaitExit(2.0), 0);
  EXPECT_EQ(server->StandardOutput(), "");
}

}  // namespace
}  // namespace varo::test
