// The Windows headless server under Wine against the Linux one: the same requests over loopback,
// on copies of the same system files, must get the same replies byte for byte, and the Linux
// client must print the same for both. Runs when VARO_WINDOWS_SERVER names the Windows build's
// varo-headless.exe and Wine is installed; skipped otherwise.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProgramFiles.h"
#include "RequestBuilder.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/WinePrefix.h"

namespace varo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Bytes;
using test::ChildProcess;
using test::Environment;
using test::Request;
using test::RunToEnd;
using test::WinePrefix;

// 2007-06-15 12:00 UTC: the same calendar day in every time zone within twelve hours of UTC.
constexpr time_t MidJune2007 = 1181908800;

// Log lines without their time stamps; each must end in " [stamp]" and the line end given.
std::vector<std::string> LogBodies(const std::string& output, const std::string& lineEnd) {
  static const std::regex stamped(R"(^(.*) \[[^\]\n]+\]$)");
  std::vector<std::string> bodies;
  std::stringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    line += '\n';
    EXPECT_TRUE(line.ends_with(lineEnd)) << "line end: " << line;
    if (line.ends_with(lineEnd)) line.resize(line.size() - lineEnd.size());
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, stamped)) << "no time stamp: " << line;
    bodies.push_back(match.size() > 1 ? match[1].str() : line);
  }
  return bodies;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// One server program with its ports, the folder its archive lies below and its log.
struct Server {
  std::uint16_t InPort = test::FreeUdpPort();
  std::uint16_t OutPort = test::FreeUdpPort();
  fs::path Home;  // Documents below it
  std::unique_ptr<ChildProcess> Process;
};

// Both game folders with the same systems: a name outside ASCII, the Totocalcio and Totogol
// column formats, several tickets, one system deleted by a raw request and one by the client.
// Names that plain Windows paths would change (a final "." or " ", a device's name) come from
// shares and archive tools; "x.tcl", never listed, must not stand in for "x.tcl." (whose code,
// -1, no request can ask for: the lists show it).
void WriteSystems(const fs::path& home) {
  const fs::path totocalcio = test::TotocalcioFolderIn(home);
  const fs::path totogol = test::TotogolFolderIn(home);
  std::string flagged(14, '\x01');
  flagged[0] = flagged[10] = '\x03';
  flagged[8] = '\x81';
  const std::pair<fs::path, std::string> systems[] = {
      {totocalcio / "Ruota.tcl.12", test::Columns(70, 0x03) + flagged},
      {totocalcio / "Alfa.tcl.7", test::Columns(1, 0x01)},
      {totocalcio / "Citt\xC3\xA0.tcl.3", test::Columns(2, 0x07)},
      {totocalcio / "x.tcl.", test::Columns(2, 0x01)},
      {totocalcio / "x.tcl", test::Columns(5, 0x03)},
      {totocalcio / "NUL.tcl.1", test::Columns(3, 0x01)},
      {totogol / "c06.gcl.7 ", test::Columns(4, 0x01)},
      {totogol / "Quaterne.gcl.9", std::string(13, '\x0F') + '\x01'},
      {totogol / "Gol.gcl.5", test::Column(0x8B, {{13, 0x06}}) + test::Columns(64, 0x02)},
      {totogol / "via.gcl.4", test::Columns(3, 0x01)},
  };
  for (const auto& [path, bytes] : systems) {
    test::WriteBytes(path, bytes);
    test::SetModified(path, MidJune2007);
  }
}

// The Windows server program and a Wine prefix of the test's own, its Documents a folder of its
// own (a fresh prefix links it to HOME). Skipped where VARO_WINDOWS_SERVER names no program or
// Wine is not installed.
class WindowsServerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("VARO_WINDOWS_SERVER");
    if (program == nullptr || *program == '\0') {
      GTEST_SKIP() << "VARO_WINDOWS_SERVER names no Windows server program";
    }
    const auto wine = test::ProgramOnPath("wine");
    const auto wineserver = test::ProgramOnPath("wineserver");
    if (!wine || !wineserver) GTEST_SKIP() << "Wine is not installed";
    windowsServer = program;
    ASSERT_TRUE(fs::is_regular_file(windowsServer)) << windowsServer;
    prefix = std::make_unique<WinePrefix>(root.Path() / "wine", *wine, *wineserver);
    ASSERT_TRUE(prefix->Boot()) << "the Wine prefix could not be made";
    fs::remove(prefix->UserFolder() / "Documents");
    fs::create_directories(prefix->UserFolder() / "Documents");
  }

  test::TempDir root;
  std::string windowsServer;
  std::unique_ptr<WinePrefix> prefix;
};

// Waits until the server says on standard error that it serves, its port bound.
bool WaitServing(ChildProcess& server) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (server.StandardError().find("serving ") == std::string::npos && !server.WaitEnded(0) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  return server.StandardError().find("serving ") != std::string::npos;
}

TEST_F(WindowsServerEndToEnd, AnswersTheLinuxClientByteForByteAsTheLinuxServerDoes) {
  // Windows: the settings file in the roaming application data.
  Server onWindows;
  onWindows.Home = prefix->UserFolder();
  WriteSystems(onWindows.Home);
  test::WritePorts(onWindows.Home / "AppData" / "Roaming", onWindows.InPort, onWindows.OutPort);
  // Linux: HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of its own.
  Server onLinux;
  const Environment linuxEnv = test::ProgramEnvironment(root.Path() / "linux");
  onLinux.Home = linuxEnv.at("HOME");
  WriteSystems(onLinux.Home);
  test::WritePorts(linuxEnv.at("XDG_CONFIG_HOME"), onLinux.InPort, onLinux.OutPort);

  // The trashes deleted systems go to: Linux's own, and the prefix's XDG trash, which Wine makes
  // at its Recycle Bin's first use.
  const fs::path linuxTrash = onLinux.Home / ".local" / "share" / "Trash";
  const fs::path wineTrash = prefix->Trash();

  onWindows.Process = std::make_unique<ChildProcess>(
      std::vector<std::string>{prefix->Wine().string(), windowsServer}, prefix->Env(),
      prefix->Logs(), "windows");
  onLinux.Process = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_LINUX_SERVER_PATH},
                                                   linuxEnv, prefix->Logs(), "linux");

  for (Server* server : {&onWindows, &onLinux}) {
    ASSERT_TRUE(WaitServing(*server->Process)) << server->Process->StandardError();
  }

  // Where the Windows server's archive is, as it names its paths.
  const std::string windowsArchive =
      "C:\\users\\" + prefix->UserName() + "\\Documents\\Quillmarch\\Quillmarch Varo Server\\";

  // Raw requests, each to both servers; the Linux server's reply is the one expected.
  {
    test::UdpPeer client;
    test::UdpPeer windowsReplies(onWindows.OutPort);
    test::UdpPeer linuxReplies(onLinux.OutPort);
    const auto exchange = [&](test::UdpPeer& replies, std::uint16_t inPort, const Bytes& request) {
      client.SendTo(inPort, request);
      return replies.Receive(10000ms);
    };
    const struct {
      const char* What;
      Bytes Datagram;
    } requests[] = {
        {"list of Totocalcio", Request(510, 1, {1, 0, 1, 0, 9}, 1)},
        {"list of Totogol", Request(510, 1, {2, 0, 1, 0, 9}, 2)},
        {"information on Totocalcio 12", Request(520, 1, {0, 0, 0, 12}, 3)},
        {"information on Totocalcio 3", Request(520, 1, {0, 0, 0, 3}, 4)},
        {"information on Totogol 9", Request(530, 3, {0, 0, 0, 9}, 5)},
        {"ticket 2 of Totocalcio 12", Request(520, 2, {0, 0, 0, 12, 0, 2}, 6)},
        {"ticket 1 of Totogol 5", Request(530, 4, {0, 0, 0, 5, 0, 1}, 7)},
        {"information on NUL.tcl.1", Request(520, 1, {0, 0, 0, 1}, 10)},
        {"ticket 1 of NUL.tcl.1", Request(520, 2, {0, 0, 0, 1, 0, 1}, 11)},
        {"deletion of NUL.tcl.1", Request(510, 2, {1, 0, 0, 0, 1}, 12)},
        {"deletion of Totocalcio 7", Request(510, 2, {1, 0, 0, 0, 7}, 8)},
        {"list of Totocalcio after it", Request(510, 1, {1, 0, 1, 0, 9}, 9)},
    };
    for (const auto& [what, datagram] : requests) {
      const auto expected = exchange(linuxReplies, onLinux.InPort, datagram);
      ASSERT_TRUE(expected) << "the Linux server did not answer the " << what;
      ASSERT_GT(expected->size(), 23u) << what;
      const auto reply = exchange(windowsReplies, onWindows.InPort, datagram);
      ASSERT_TRUE(reply) << "the Windows server did not answer the " << what;
      EXPECT_EQ(*reply, *expected) << what;
    }
    for (const Server* server : {&onWindows, &onLinux}) {
      const fs::path totocalcio = test::TotocalcioFolderIn(server->Home);
      EXPECT_FALSE(fs::exists(totocalcio / "Alfa.tcl.7"));
      EXPECT_FALSE(fs::exists(totocalcio / "NUL.tcl.1"));
      EXPECT_TRUE(fs::exists(totocalcio / "x.tcl"));
    }
    // Deleted, yet restorable: in the trash with the record that names where it was.
    for (const fs::path& trash : {linuxTrash, wineTrash}) {
      EXPECT_TRUE(fs::exists(trash / "files" / "Alfa.tcl.7")) << trash;
      EXPECT_NE(test::FileBytes(trash / "info" / "Alfa.tcl.7.trashinfo").find("Alfa.tcl.7"),
                std::string::npos)
          << trash;
    }
    // Standard error tells where each went: a name the system reads as a device (Wine reads
    // "NUL.tcl.1" so) never reaches the shell, and is deleted for good by its exact name.
    const std::string told = onWindows.Process->StandardError();
    EXPECT_NE(told.find("moved to the trash: " + windowsArchive + "Totocalcio\\Alfa.tcl.7\r\n"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find("deleted for good: " + windowsArchive + "Totocalcio\\NUL.tcl.1\r\n"),
              std::string::npos)
        << told;
  }

  // The client, as a user runs it, prints the same for both.
  int runs = 0;
  for (const std::vector<std::string>& request : {std::vector<std::string>{"list", "totocalcio"},
                                                  {"info", "totogol", "9"},
                                                  {"ticket", "totogol", "5", "1"},
                                                  {"delete", "totogol", "4"}}) {
    std::string outputs[2];
    int index = 0;
    for (const Server* server : {&onLinux, &onWindows}) {
      std::vector<std::string> command = {VARO_CLIENT_PATH,
                                          "--port",
                                          std::to_string(server->InPort),
                                          "--reply-port",
                                          std::to_string(server->OutPort),
                                          "--timeout",
                                          "10"};
      command.insert(command.end(), request.begin(), request.end());
      const std::string tag = "client" + std::to_string(++runs);
      EXPECT_EQ(RunToEnd(command, test::EnvironmentWithout({}), prefix->Logs(), tag, 30), 0)
          << request[0] << "\n"
          << test::FileBytes(prefix->Logs() / (tag + ".err"));
      outputs[index++] = test::FileBytes(prefix->Logs() / (tag + ".out"));
    }
    EXPECT_NE(outputs[0], "") << request[0];
    EXPECT_EQ(outputs[1], outputs[0]) << request[0];
  }
  EXPECT_FALSE(fs::exists(test::TotogolFolderIn(onWindows.Home) / "via.gcl.4"));

  // The same log lines, each server naming its own paths: below C:\users\NAME\Documents, joined
  // with "\" on Windows, where text lines end in CR LF.
  const std::vector<std::string> linuxLog = LogBodies(onLinux.Process->StandardOutput(), "\n");
  ASSERT_TRUE(onWindows.Process->WaitForOutputLines(linuxLog.size(), 10)) << linuxLog.size();
  const std::vector<std::string> windowsLog =
      LogBodies(onWindows.Process->StandardOutput(), "\r\n");
  ASSERT_EQ(windowsLog.size(), linuxLog.size());
  for (std::size_t i = 0; i < linuxLog.size(); ++i) {
    std::string expected = linuxLog[i];
    for (const char* game : {"Totocalcio", "Totogol"}) {
      expected = Replaced(expected, (test::ArchiveBelow(onLinux.Home) / game).string() + "/",
                          windowsArchive + game + "\\");
    }
    EXPECT_EQ(windowsLog[i], expected);
  }

  // A second instance in the same Windows session ends at once with 0; the first still serves.
  EXPECT_EQ(RunToEnd({prefix->Wine().string(), windowsServer}, prefix->Env(), prefix->Logs(),
                     "windows-second", 60),
            0);
  {
    test::UdpPeer client;
    test::UdpPeer replies(onWindows.OutPort);
    client.SendTo(onWindows.InPort, Request(510, 1, {2, 0, 1, 0, 9}));
    EXPECT_TRUE(replies.Receive(10000ms)) << "the first instance stopped serving";
  }

  // Ctrl+C (SIGINT, which Wine turns into the console's Ctrl+C event) ends it normally.
  onWindows.Process->Signal(SIGINT);
  EXPECT_EQ(onWindows.Process->WaitExit(20), 0);
  onLinux.Process->Signal(SIGTERM);
  EXPECT_EQ(onLinux.Process->WaitExit(10), 0);
}

// Where Wine's shell has no trash (its folders cannot be made) it destroys a file it is asked to
// recycle and still says it succeeded: the server tells that deletion as one for good.
TEST_F(WindowsServerEndToEnd, ASystemNoTrashCanTakeIsToldAsDeletedForGood) {
  Server onWindows;
  onWindows.Home = prefix->UserFolder();
  const fs::path system = test::TotocalcioFolderIn(onWindows.Home) / "Alfa.tcl.7";
  test::WriteBytes(system, test::Columns(1, 0x01));
  test::WritePorts(onWindows.Home / "AppData" / "Roaming", onWindows.InPort, onWindows.OutPort);
  // The trash's parent is a file, below which Wine makes no folder.
  test::WriteBytes(root.Path() / "data", "not a folder");
  Environment noTrash = prefix->Env();
  noTrash["XDG_DATA_HOME"] = (root.Path() / "data").string();
  onWindows.Process = std::make_unique<ChildProcess>(
      std::vector<std::string>{prefix->Wine().string(), windowsServer}, noTrash, prefix->Logs(),
      "windows");
  ASSERT_TRUE(WaitServing(*onWindows.Process)) << onWindows.Process->StandardError();

  test::UdpPeer client;
  test::UdpPeer replies(onWindows.OutPort);
  client.SendTo(onWindows.InPort, Request(510, 2, {1, 0, 0, 0, 7}));
  const auto reply = replies.Receive(10000ms);
  ASSERT_TRUE(reply) << "the Windows server did not answer the deletion";
  EXPECT_EQ(Bytes(reply->end() - 2, reply->end()), (Bytes{0, 1})) << "not confirmed";
  EXPECT_FALSE(fs::exists(system));
  const std::string shown =
      "C:\\users\\" + prefix->UserName() +
      "\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totocalcio\\Alfa.tcl.7";
  const std::string told = onWindows.Process->StandardError();
  EXPECT_NE(told.find("deleted for good: " + shown + "\r\n"), std::string::npos) << told;
  EXPECT_EQ(told.find("moved to the trash"), std::string::npos) << told;

  onWindows.Process->Signal(SIGINT);
  EXPECT_EQ(onWindows.Process->WaitExit(20), 0);
}

}  // namespace
}  // namespace varo
