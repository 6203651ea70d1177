// A crash of the real program: the report it leaves beside the event log, its default end, and the
// next start's notice of it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

// The functions addr2line names for the program's frames of a report ("module+0xoffset").
std::string FunctionsOfFrames(const std::string& report) {
  std::string command = "addr2line -f -e '" + std::string(VARO_SERVER_PROGRAM) + "'";
  static const std::regex frame(" quillmarch-varo-server\\+(0x[0-9a-f]+)\n");
  for (std::sregex_iterator at(report.begin(), report.end(), frame), end; at != end; ++at) {
    command += " " + at->str(1);
  }
  std::string functions;
  if (FILE* names = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, names)) > 0;) {
      functions.append(buffer, got);
    }
    ::pclose(names);
  }
  return functions;
}

TEST(ShellCrash, AFaultSignalLeavesAReportThatTheNextStartNamesOnce) {
  TempDir dir;
  Environment env = ProgramEnvironment(dir.Path());
  env["XDG_STATE_HOME"] = (dir.Path() / "state").string();
  // The sanitizers' own fault handlers stand aside, as in a build without them.
  env["ASAN_OPTIONS"] =
      "detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
  const auto reports = dir.Path() / "state" / "Quillmarch" / "Quillmarch Varo Server";
  UdpPeer client;
  UdpPeer replies;
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(dir.Path() / "config", inPort, replies.Port());
  const auto startServing = [&](const std::string& tag) {
    auto server = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env,
                                                 dir.Path(), tag);
    // Asked again and again until it listens, for at most 10 seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool answered = false;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
      client.SendTo(inPort, UnknownPairRequest());
      answered = replies.Receive(std::chrono::milliseconds(100)).has_value();
    }
    EXPECT_TRUE(answered) << server->StandardError();
    return server;
  };

  // Reports of earlier crashes, of which the program keeps the newest 20 with its own.
  for (int second = 10; second < 35; ++second) {
    dir.WriteFile("state/Quillmarch/Quillmarch Varo Server/crash-2000-01-01T0000" +
                      std::to_string(second) + ".txt",
                  "");
  }

  auto crashing = startServing("crashing");
  crashing->Signal(SIGSEGV);
  // Ended by the signal itself, as a core dump handler needs it.
  EXPECT_EQ(crashing->WaitSignal(10.0), SIGSEGV) << crashing->StandardError();
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(reports)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("crash-2000") && name.ends_with(".txt")) found.push_back(entry.path());
  }
  ASSERT_EQ(found.size(), 1u) << crashing->StandardError();
  const std::string path = found[0].string();
  EXPECT_TRUE(std::regex_match(found[0].filename().string(),
                               std::regex("crash-\\d{4}-\\d\\d-\\d\\dT\\d{6}\\.txt")))
      << path;
  const std::string report = FileBytes(found[0]);
  EXPECT_NE(report.find("\nversion: 1.15\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nsignal: 11 (SIGSEGV)"), std::string::npos) << report;
  // The handler's own frame at least lies in the program, at the offset that names it.
  EXPECT_TRUE(std::regex_search(
      report, std::regex("\n#\\d+ 0x[0-9a-f]{16} quillmarch-varo-server\\+0x[0-9a-f]+\n")))
      << report;
  EXPECT_NE(FunctionsOfFrames(report).find("OnCrashSignal\n"), std::string::npos) << report;
  // What the program held when it crashed is the user's business alone.
  EXPECT_EQ(std::filesystem::status(found[0]).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_NE(crashing->StandardError().find("crashed (SIGSEGV); report: " + path + "\n"),
            std::string::npos)
      << crashing->StandardError();

  // The next start names the report; the one after it says nothing more of it.
  for (const bool told : {true, false}) {
    auto next = startServing(told ? "next" : "after");
    next->Signal(SIGTERM);
    EXPECT_EQ(next->WaitExit(5.0), 0) << next->StandardError();
    EXPECT_EQ(next->StandardError().find("the last run ended with a crash; report: " + path +
                                         "\n") != std::string::npos,
              told)
        << next->StandardError();
  }
  EXPECT_FALSE(std::filesystem::exists(reports / "crash-2000-01-01T000015.txt"));
  EXPECT_TRUE(std::filesystem::exists(reports / "crash-2000-01-01T000016.txt"));
  EXPECT_TRUE(std::filesystem::exists(found[0]));
}

}  // namespace
}  // namespace varo::test
