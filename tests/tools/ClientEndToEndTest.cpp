// The client program run as a child process against the real endpoint and handlers on loopback.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "InProcessServer.h"
#include "posix/ChildProcess.h"

namespace varo {
namespace {

using namespace std::chrono_literals;
using test::Columns;

struct ClientRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// 2007-06-15 12:00 UTC: the same calendar day in every time zone within twelve hours of UTC.
constexpr time_t MidJune2007 = 1181908800;

// The in-process server replies to a port of the client's, which the client binds itself.
struct ClientEndToEnd : test::InProcessServer {
  std::uint16_t replyPort = test::FreeUdpPort();
  test::TempDir runs;
  int runCount = 0;

  void SetUp() override {
    InProcessServer::SetUp();
    state.OutputPort = replyPort;
  }

  std::filesystem::path System(const std::string& folder, const std::string& name,
                               const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    test::WriteBytes(path, bytes);
    test::SetModified(path, MidJune2007);
    return path;
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
    ClientRun run;
    std::unique_ptr<test::ChildProcess> child;
    try {
      child = std::make_unique<test::ChildProcess>(all, test::EnvironmentWithout({}), runs.Path(),
                                                   "client" + std::to_string(++runCount));
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
      return run;
    }
    if (!handOver.ServeUntil([&] { return child->WaitEnded(0); }, 10000ms)) {
      child->Signal(SIGKILL);
      child->WaitEnded(10.0);
      ADD_FAILURE() << "the client did not end within ten seconds";
    }
    run.ExitCode = child->WaitExit(0).value_or(-1);
    run.Out = child->StandardOutput();
    run.Err = child->StandardError();
    return run;
  }
};

TEST_F(ClientEndToEnd, ListShowsEverySystemWithCodeNameDateAndCost) {
  // Three columns of 4 combinations each, one flagged with 2 side combinations: 700 cents.
  std::string plain(14, '\x01');
  plain[0] = plain[1] = '\x03';
  std::string flagged(14, '\x01');
  flagged[0] = flagged[10] = '\x03';
  flagged[8] = '\x81';
  System(folders.TotocalcioFolder, "Ruota.tcl.12", plain + plain + flagged);
  System(folders.TotocalcioFolder, "Alfa.tcl.7", Columns(1, 0x01));
  const ClientRun run = Client({"list", "totocalcio"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "Totocalcio: 2 systems shown; the server counts 2 systems in the folder (modulo 256)\n"
            "  pos  code  name                  date        cost (cents)\n"
            "    1     7  Alfa.tcl.7            2007-06-15            50 (0.50 euro)\n"
            "    2    12  Ruota.tcl.12          2007-06-15           700 (7.00 euro)\n");
  EXPECT_EQ(log.Lines.size(), 2u);

  // -65534 goes out as 00 00 00 02, as 2 would: the whole name settles it; the cut one does not.
  System(folders.TotocalcioFolder, "neg.tcl.-65534", Columns(1, 0x01));
  System(folders.TotocalcioFolder, "Sistema del sabato.tcl.12", Columns(1, 0x01));
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
    System(folders.TotogolFolder, name, Columns(1, 0x01));
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

TEST_F(ClientEndToEnd, AnEmptyGameIsAnAnswerAndPositionsPastTheEndAreNot) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;
  };
  auto check = [this](const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const ClientRun run = Client(c.args);
      EXPECT_EQ(run.ExitCode, c.exitCode) << c.args.back();
      EXPECT_EQ(run.Out, c.out) << c.args.back();
      EXPECT_EQ(run.Err, c.err) << c.args.back();
    }
  };
  // 5 to 9 does not cover position 1, which is asked for apart.
  check({{{"list", "totogol"}, 0, "Totogol: no systems stored\n", ""},
         {{"list", "totogol", "5", "9"}, 0, "Totogol: no systems stored\n", ""},
         {{"--json", "list", "totogol"},
          0,
          "{\"game\": \"Totogol\", \"status\": 870, \"folder_count_mod_256\": 0, "
          "\"systems\": []}\n",
          ""}});

  // 256 systems count 0 modulo 256, as none do.
  for (int i = 0; i < 256; ++i) {
    System(folders.TotogolFolder, "S" + std::to_string(1000 + i) + ".gcl." + std::to_string(i),
           Columns(1, 0x01));
  }
  check({{{"list", "totogol", "257", "300"},
          1,
          "",
          "no Totogol systems at positions 257 to 300; the server counts 0 systems in the "
          "folder (modulo 256)\n"},
         {{"list", "totogol", "1", "0"},
          1,
          "",
          "no Totogol systems at positions 1 to 0; the server counts 0 systems in the folder "
          "(modulo 256)\n"}});
}

TEST_F(ClientEndToEnd, InfoShowsEverySummaryFieldAndNotFoundEndsWithOne) {
  System(folders.TotocalcioFolder, "Tripla.tcl.65000", Columns(1, 0x07));
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
  EXPECT_EQ(run.Out, "{\"game\": \"Totocalcio\", \"status\": 870, \"found\": false}\n");
}

TEST_F(ClientEndToEnd, TicketShowsSignsPerMatchAndSideFlag) {
  std::string column(14, '\x01');
  column[0] = '\x8B';  // side flag with 1, X and 4
  column[13] = '\x06';
  System(folders.TotogolFolder, "Gol.gcl.5", column + Columns(64, 0x02));
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
  const auto path = System(folders.TotocalcioFolder, "Via.tcl.41", Columns(1, 0x01));
  ClientRun run = Client({"delete", "totocalcio", "41"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("Totocalcio system 41 deleted"), std::string::npos) << run.Out;
  EXPECT_FALSE(std::filesystem::exists(path));
  run = Client({"delete", "totocalcio", "41"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("no Totocalcio system with code 41"), std::string::npos) << run.Err;
}

TEST_F(ClientEndToEnd, AClosedPortEndsAtOnceAndASilentOneAfterTheTimeout) {
  // Nothing bound at the input port: the ICMP "port unreachable" ends the client with 4, long
  // before its 20 s; were it waited out, Client's wait of ten seconds would end it and fail.
  server.Deactivate();
  ClientRun run = Client({"--timeout", "20", "list", "totocalcio"});
  EXPECT_EQ(run.ExitCode, 4);
  EXPECT_EQ(run.Err,
            "quillmarch-varo-client: 127.0.0.1 answered that nothing listens on its UDP "
            "port " +
                std::to_string(inputPort) +
                " (is the server running there, and "
                "is " +
                std::to_string(inputPort) + " its input port?)\n");

  // A port that is bound but never answers: exit 2 once the timeout has passed.
  test::UdpPeer silent;
  const auto start = std::chrono::steady_clock::now();
  run = Client({"--port", std::to_string(silent.Port()), "--reply-port", std::to_string(replyPort),
                "--timeout", "0.3", "info", "totocalcio", "1"},
               false);
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("no answer from 127.0.0.1:" + std::to_string(silent.Port())),
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
