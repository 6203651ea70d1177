// The client program run as a child process against the real endpoint and handlers on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <utime.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "UdpPeer.h"
#include "archive/ArchiveFolders.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"

extern char** environ;

namespace varo {
namespace {

using namespace std::chrono_literals;

struct RecordingLog : ActivityLog {
  std::vector<std::string> Lines;
  void Append(const std::string& line) override { Lines.push_back(line); }
};

struct ClientRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// 2007-06-15 12:00 UTC: the same calendar day in every time zone within twelve hours of UTC.
constexpr time_t MidJune2007 = 1181908800;

struct ClientEndToEnd : ::testing::Test {
  test::TempDir temp;
  ArchiveFolders folders = MakeArchiveFolders((temp.Path() / "Documents").string());
  RecordingLog log;
  HandlerTable handlers = MakeHandlerTable(folders, log);
  LoopHandOver handOver;
  RequestState state;
  std::uint16_t inputPort = test::FreeUdpPort();
  std::uint16_t replyPort = test::FreeUdpPort();
  UDPServer server{handOver, [this](const ReceivedDatagram& d) {
                     UDPServerUDPRead(state, handlers, d, server);
                   }};

  void SetUp() override {
    std::filesystem::create_directories(folders.TotocalcioFolder);
    std::filesystem::create_directories(folders.TotogolFolder);
    state.OutputPort = replyPort;
    server.SetInputPort(inputPort);
    server.Activate();
  }

  std::filesystem::path System(const std::string& folder, const std::string& name,
                               const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    std::ofstream(path, std::ios::binary) << bytes;
    const utimbuf times{MidJune2007, MidJune2007};
    utime(path.c_str(), &times);
    return path;
  }

  static std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs the client with the server's ports and the arguments, serving requests meanwhile; a
  // child still running after ten seconds is ended and the test fails.
  ClientRun Client(std::vector<std::string> args, bool withPorts = true) {
    std::vector<std::string> all = {VARO_CLIENT_PATH};
    if (withPorts) {
      all.insert(all.end(),
                 {"--port", std::to_string(inputPort), "--reply-port", std::to_string(replyPort)});
    }
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto out = temp.Path() / "client.out";
    const auto err = temp.Path() / "client.err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    ClientRun run;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argv[0];
      return run;
    }
    int status = 0;
    const bool ended =
        handOver.ServeUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 10000ms);
    if (!ended) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "the client did not end within ten seconds";
    }
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = Slurp(out);
    run.Err = Slurp(err);
    return run;
  }
};

std::string Columns(int count, char sign) {
  return std::string(14 * count, sign);
}

TEST_F(ClientEndToEnd, ListShowsEverySystemWithCodeNameDateAndCost) {
  // Three columns of 4 combinations each, one flagged with 2 side combinations: 700 cents.
  std::string plain(14, '\x01');
  plain[0] = plain[1] = '\x03';
  std::string flagged(14, '\x01');
  flagged[0] = flagged[10] = '\x03';
  flagged[8] = '\x81';
  System(folders.TotocalcioFolder, "Ruota.tcl.12", plain + plain + flagged);
  System(folders.TotocalcioFolder, "Alfa.tcl.7", Columns(1, '\x01'));
  const ClientRun run = Client({"list", "totocalcio"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "Totocalcio: 2 systems shown; the server counts 2 systems in the folder (modulo 256)\n"
            "  pos  code  name                  date        cost (cents)\n"
            "    1     7  Alfa.tcl.7            2007-06-15            50 (0.50 euro)\n"
            "    2    12  Ruota.tcl.12          2007-06-15           700 (7.00 euro)\n");
  EXPECT_EQ(log.Lines.size(), 2u);

  // -65534 goes out as 00 00 00 02, as 2 would: the whole name settles it; the cut one does not.
  System(folders.TotocalcioFolder, "neg.tcl.-65534", Columns(1, '\x01'));
  System(folders.TotocalcioFolder, "Sistema del sabato.tcl.12", Columns(1, '\x01'));
  const ClientRun json = Client({"--json", "list", "totocalcio"});
  EXPECT_EQ(json.ExitCode, 0) << json.Err;
  for (const char* entry : {"{\"position\": 2, \"code\": -65534, \"name\": \"neg.tcl.-65534\"",
                            "{\"position\": 3, \"code\": 12, \"name\": \"Ruota.tcl.12\"",
                            "{\"position\": 4, \"code\": 12, \"code_or\": -65524, \"name\": "
                            "\"Sistema del sabato.t\""}) {
    EXPECT_NE(json.Out.find(entry), std::string::npos) << entry << "\n" << json.Out;
  }
}

TEST_F(ClientEndToEnd, LongListsArriveInPagesUpToTheLastPosition) {
  for (int i = 0; i < 70; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "S%02d.gcl.%d", i, 100 + i);
    System(folders.TotogolFolder, name, Columns(1, '\x01'));
  }
  ClientRun run = Client({"--json", "list", "totogol"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("{\"position\": 70, \"code\": 169, \"name\": \"S69.gcl.169\""),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("\"folder_count_mod_256\": 70"), std::string::npos);
  EXPECT_EQ(log.Lines.size(), 4u);  // two requests of 62 and 8

  run = Client({"--json", "list", "totogol", "60", "64"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("\"position\": 64, \"code\": 163"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find("\"position\": 65"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find("\"position\": 59"), std::string::npos) << run.Out;

  run = Client({"list", "totogol", "71"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("no Totogol systems at positions 71"), std::string::npos) << run.Err;
  run = Client({"list", "totogol", "71", "71"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err,
            "no Totogol system at position 71; the server counts 70 systems in the folder "
            "(modulo 256)\n");
}

TEST_F(ClientEndToEnd, InfoShowsEverySummaryFieldAndNotFoundEndsWithOne) {
  System(folders.TotocalcioFolder, "Tripla.tcl.65000", Columns(1, '\x07'));
  ClientRun run = Client({"info", "totocalcio", "65000"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  for (const char* line :
       {"code                  65000\n", "name                  Tripla.tcl.65000\n",
        "date                  2007-06-15\n", "tickets               1\n",
        "main combinations     4782969\n", "side combinations     0\n",
        "total cost (cents)    239148450 (2391484.50 euro)\n", "marker                1\n"}) {
    EXPECT_NE(run.Out.find(line), std::string::npos) << line << run.Out;
  }

  // 4^13 combinations at 50 cents: 3355443200, past 2^31, so the server's 32-bit sum is negative.
  System(folders.TotogolFolder, "Quaterne.gcl.9", std::string(13, '\x0F') + '\x01');
  run = Client({"info", "totogol", "9"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  for (const char* line :
       {"main combinations     67108864\n", "main cost (cents)     3355443200 (33554432.00 euro)\n",
        "total cost (cents)    3355443200 (33554432.00 euro)\n",
        "total cost again      3355443200\n"}) {
    EXPECT_NE(run.Out.find(line), std::string::npos) << line << run.Out;
  }
  run = Client({"--json", "list", "totogol"});
  EXPECT_NE(run.Out.find("\"total_cost_cents\": 3355443200}"), std::string::npos) << run.Out;
  // The list shows the same cost as the summary does, in a folder of one system.
  run = Client({"list", "totogol"});
  EXPECT_NE(run.Out.find("Totogol: 1 system shown; the server counts 1 system in the folder"),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("  3355443200 (33554432.00 euro)\n"), std::string::npos) << run.Out;

  run = Client({"info", "totogol", "65000"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_NE(run.Err.find("no Totogol system with code 65000"), std::string::npos) << run.Err;

  run = Client({"--json", "info", "totocalcio", "3"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Out.find("\"status\": 870"), std::string::npos) << run.Out;
}

TEST_F(ClientEndToEnd, TicketShowsSignsPerMatchAndSideFlag) {
  std::string column(14, '\x01');
  column[0] = '\x8B';  // side flag with 1, X and 4
  column[13] = '\x06';
  System(folders.TotogolFolder, "Gol.gcl.5", column + Columns(64, '\x02'));
  ClientRun run = Client({"ticket", "totogol", "5", "1"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("ticket 1: 64 columns"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("    1   yes  1X4    1    1    1    1    1    1    1    1    1    1    1"
                         "    1   X2\n"),
            std::string::npos)
      << run.Out;

  run = Client({"--json", "ticket", "totogol", "5", "2"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("\"columns\": [{\"side\": false, \"signs\": [\"X\", \"X\""),
            std::string::npos)
      << run.Out;

  run = Client({"ticket", "totogol", "5", "3"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("system 5 has no ticket 3"), std::string::npos) << run.Err;

  run = Client({"ticket", "totogol", "6", "1"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("no Totogol system with code 6"), std::string::npos) << run.Err;
}

TEST_F(ClientEndToEnd, DeleteRemovesTheSystemOnceThenFindsNothing) {
  const auto path = System(folders.TotocalcioFolder, "Via.tcl.41", Columns(1, '\x01'));
  ClientRun run = Client({"delete", "totocalcio", "41"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("Totocalcio system 41 deleted"), std::string::npos) << run.Out;
  EXPECT_FALSE(std::filesystem::exists(path));
  run = Client({"delete", "totocalcio", "41"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("no Totocalcio system with code 41"), std::string::npos) << run.Err;
}

TEST_F(ClientEndToEnd, NoAnswerEndsWithTwoWithinTheTimeout) {
  server.Deactivate();
  const auto start = std::chrono::steady_clock::now();
  const ClientRun run = Client({"--timeout", "0.3", "info", "totocalcio", "1"});
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("no answer from 127.0.0.1:" + std::to_string(inputPort)),
            std::string::npos)
      << run.Err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(ClientEndToEnd, RefusedValuesAndBadUsageSendNothing) {
  ClientRun run = Client({"info", "totocalcio", "-1"});
  EXPECT_EQ(run.ExitCode, 64);
  EXPECT_NE(run.Err.find("the code -1 cannot be sent"), std::string::npos) << run.Err;
  run = Client({"ticket", "totocalcio", "1", "65281"});
  EXPECT_EQ(run.ExitCode, 64);
  run = Client({"info", "enalotto", "1"});
  EXPECT_EQ(run.ExitCode, 64);
  EXPECT_NE(run.Err.find("--help"), std::string::npos);
  handOver.ServeFor(100ms);
  EXPECT_TRUE(log.Lines.empty());
}

TEST_F(ClientEndToEnd, VersionAndHelpEndAtOnceWithoutARequest) {
  const std::string version = std::string("quillmarch-varo-client ") + VARO_PROJECT_VERSION + "\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"},
        {"--json", "--timeout", "0.5", "info", "totocalcio", "1", "--version"}}) {
    const ClientRun run = Client(args);
    EXPECT_EQ(run.ExitCode, 0) << args.back();
    EXPECT_EQ(run.Out, version);
    EXPECT_EQ(run.Err, "");
  }
  ClientRun run = Client({"delete", "totocalcio", "1", "--help"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Out.find("  --version "), std::string::npos) << run.Out;
  run = Client({"--", "--version"});
  EXPECT_EQ(run.ExitCode, 64);
  EXPECT_EQ(run.Out, "");
  handOver.ServeFor(100ms);
  EXPECT_TRUE(log.Lines.empty());
}

TEST_F(ClientEndToEnd, ATakenReplyPortEndsWithThree) {
  test::UdpPeer occupant;  // 127.0.0.1 at a free port
  const ClientRun run = Client({"--port", std::to_string(inputPort), "--reply-port",
                                std::to_string(occupant.Port()), "info", "totocalcio", "1"},
                               false);
  EXPECT_EQ(run.ExitCode, 3);
  EXPECT_NE(run.Err.find("cannot listen for the answer on port"), std::string::npos) << run.Err;
}

// A stand-in server on a port of its own: answers the first request with the given replies, each
// made from the request's own header.
struct FakeServer {
  test::UdpPeer socket;
  std::thread thread;
  FakeServer(std::uint16_t replyPort,
             std::vector<std::function<test::Bytes(const test::Bytes&)>> replies) {
    thread = std::thread([this, replyPort, replies] {
      const auto request = socket.Receive(5000ms);
      if (!request) return;
      for (const auto& make : replies) socket.SendTo(replyPort, make(*request));
    });
  }
  ~FakeServer() { thread.join(); }
};

// A delete reply to the request with this header, its tag changed by tagChange.
test::Bytes DeleteReply(test::Bytes header, std::uint8_t tagChange, std::uint16_t status) {
  header.resize(23);
  header[8] = 0, header[9] = 2;
  header[13] ^= tagChange;
  header.push_back(static_cast<std::uint8_t>(status >> 8));
  header.push_back(static_cast<std::uint8_t>(status));
  return header;
}

TEST_F(ClientEndToEnd, AStaleReplyIsSkippedAndTheRequestsOwnIsTaken) {
  FakeServer fake(replyPort, {[](const test::Bytes& r) { return DeleteReply(r, 0x40, 870); },
                              [](const test::Bytes& r) { return DeleteReply(r, 0, 1); }});
  const ClientRun run = Client({"--port", std::to_string(fake.socket.Port()), "--reply-port",
                                std::to_string(replyPort), "delete", "totogol", "9"},
                               false);
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("Totogol system 9 deleted"), std::string::npos) << run.Out;
}

TEST_F(ClientEndToEnd, AServerWithoutTheHandlerGivesAnUnreadableReply) {
  // What the endpoint sends for a request no handler serves: the header and a zeroed payload.
  FakeServer fake(replyPort, {[](const test::Bytes& r) {
                    test::Bytes echo(r.begin(), r.begin() + 23);
                    echo.resize(r.size(), 0);
                    return echo;
                  }});
  const ClientRun run = Client({"--port", std::to_string(fake.socket.Port()), "--reply-port",
                                std::to_string(replyPort), "list", "totocalcio"},
                               false);
  EXPECT_EQ(run.ExitCode, 3);
  EXPECT_NE(run.Err.find("unreadable reply"), std::string::npos) << run.Err;
}

}  // namespace
}  // namespace varo
