// The real program as a process on the offscreen platform: settings, single instance, serving,
// its end by signal, and what a service manager hears of it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
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
#include "posix/NameHolder.h"
#include "posix/OtherUser.h"

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

  // Asks the program to stop as the service manager does; it ends with 0 within two seconds.
  static void StopsOnTerm(ChildProcess& server) {
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitExit(2.0), 0) << server.StandardError();
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
  // This test holds the user's guard, so the program is the second instance and binds nothing.
  InstanceLock first(InstanceLockPath(""));
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
  for (const char* argument : {"--version", "--help", "-h"}) {
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

TEST_F(ShellProcess, RequestsFollowDocumentsWhenTheDesktopMovesIt) {
  // A desktop's first log-in rewrites user-dirs.dirs while the server runs.
  const auto home = dir_.Path() / "home";
  const auto old = home / "Documents" / "Quillmarch" / "Quillmarch Varo Server" / "Totocalcio";
  const auto moved = home / "Documenti" / "Quillmarch" / "Quillmarch Varo Server" / "Totocalcio";
  for (const auto& [folder, name] : {std::pair{old, "vecchio.tcl.5"}, {moved, "nuovo.tcl.5"}}) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name) << std::string(14, '\x01');
  }
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = std::make_unique<ChildProcess>(
      std::vector<std::string>{VARO_SERVER_PROGRAM, "-platform", "offscreen"}, env_, dir_.Path(),
      "documents");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();

  // Written aside and renamed into place, as xdg-user-dirs-update does.
  std::ofstream(config_ / "user-dirs.new") << "XDG_DOCUMENTS_DIR=\"$HOME/Documenti\"\n";
  std::filesystem::rename(config_ / "user-dirs.new", config_ / "user-dirs.dirs");

  // The list names the new folder's system; the deletion of code 5 removes it, not the old one.
  client_.SendTo(inPort, TotocalcioListRequest());
  const auto listed = replies_.Receive(milliseconds(5000));
  ASSERT_TRUE(listed.has_value()) << server->StandardError();
  const std::string listText(listed->begin(), listed->end());
  EXPECT_NE(listText.find("nuovo.tcl.5"), std::string::npos);
  EXPECT_EQ(listText.find("vecchio.tcl.5"), std::string::npos);
  client_.SendTo(inPort, TotocalcioDeletion(5));
  EXPECT_TRUE(ConfirmsDeletion(replies_.Receive(milliseconds(5000))));
  EXPECT_FALSE(std::filesystem::exists(moved / "nuovo.tcl.5"));
  EXPECT_TRUE(std::filesystem::exists(old / "vecchio.tcl.5"));
  StopsOnTerm(*server);
  EXPECT_NE(
      server->StandardError().find("the Documents folder is now " + (home / "Documenti").string() +
                                   "\nTotocalcio systems: " + moved.string() + "\n"),
      std::string::npos)
      << server->StandardError();
}

TEST_F(ShellProcess, StartUpTellsVersionPortsAndFoldersAndDeletionsTellWhoAsked) {
  const auto base = ArchiveBelow(dir_.Path() / "home");
  std::filesystem::create_directories(base / "Totocalcio");  // Totogol stays missing
  std::ofstream(base / "Totocalcio" / "s.tcl.7") << std::string(14, '\x01');
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  // Qt's own arguments and --mostra pass silently; an unknown option is named once and the start
  // goes on.
  auto server = std::make_unique<ChildProcess>(
      std::vector<std::string>{VARO_SERVER_PROGRAM, "-platform", "offscreen", "--mostra", "--port",
                               "7771"},
      env_, dir_.Path(), "report");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();

  client_.SendTo(inPort, TotocalcioDeletion(7));
  ASSERT_TRUE(ConfirmsDeletion(replies_.Receive(milliseconds(5000))));
  StopsOnTerm(*server);

  // Exactly these lines: a headless start draws no warnings of the toolkit either.
  const std::string expected =
      "quillmarch-varo-server: ignoring the unknown option \"--port\" (see --help)\n"
      "Quillmarch Varo Server 1.15\nlistening on input port " +
      std::to_string(inPort) + ", replies to output port " + std::to_string(replies_.Port()) +
      "\nanswering requests from local networks only"
      "\nTotocalcio systems: " +
      (base / "Totocalcio").string() + "\nTotogol systems: missing " + (base / "Totogol").string() +
      "\n";
  const std::string err = server->StandardError();
  ASSERT_TRUE(err.starts_with(expected)) << err;
  EXPECT_TRUE(std::regex_match(
      err.substr(expected.size()),
      std::regex(
          "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d deleted at the request of 127\\.0\\.0\\.1 "
          "port " +
          std::to_string(client_.Port()) +
          ": [^\n]*/Totocalcio/s\\.tcl\\.7\nmoved to the trash: [^\n]*/Totocalcio/s\\.tcl\\.7\n"
          "quillmarch-varo-server: stopped\n")))
      << err;

  // The event log keeps the same events in the user's words, each after its date, time and UTC
  // offset, and nothing else (the warning about an option is no event).
  const std::string log = FileBytes(dir_.Path() / "home" / ".local" / "state" / "Quillmarch" /
                                    "Quillmarch Varo Server" / "eventi.log");
  static const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d (.*\n))");
  std::string unstamped;
  std::ptrdiff_t next = 0;  // every line stamped, none left out
  for (std::sregex_iterator line(log.begin(), log.end(), stamped), end; line != end; ++line) {
    EXPECT_EQ(line->position(), next) << log;
    next = line->position() + line->length();
    unstamped += line->str(1);
  }
  const std::string system = (base / "Totocalcio" / "s.tcl.7").string();
  EXPECT_EQ(unstamped,
            "avvio di Quillmarch Varo Server 1.15\n"
            "in ascolto sulla porta " +
                std::to_string(inPort) + ", risposte alla porta " +
                std::to_string(replies_.Port()) +
                "\nsi risponde alle richieste delle sole reti locali\n"
                "sistemi Totocalcio: " +
                (base / "Totocalcio").string() + "\nsistemi Totogol: cartella mancante " +
                (base / "Totogol").string() + "\ncancellato su richiesta di 127.0.0.1 (porta " +
                std::to_string(client_.Port()) + "): " + system +
                "\nspostato nel cestino: " + system + "\narresto del programma\n")
      << log;
}

TEST_F(ShellProcess, ADeletedSystemGoesToTheTrashWithItsRecordUnlessCestinoIsZero) {
  const auto totocalcio = TotocalcioFolderIn(dir_.Path() / "home");
  const auto trash = dir_.Path() / "home" / ".local" / "share" / "Trash";
  const std::string system = (totocalcio / "s.tcl.7").string();
  for (const bool toTrash : {false, true}) {
    WriteBytes(totocalcio / "s.tcl.7", std::string(14, '\x01'));
    const std::uint16_t inPort = FreeUdpPort();
    const auto settings = WritePorts(config_, inPort, replies_.Port());
    if (!toTrash) std::ofstream(settings, std::ios::app) << "[Cancellazione]\nCestino=0\n";
    auto server = Start(toTrash ? "trash" : "for-good");
    ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();
    client_.SendTo(inPort, TotocalcioDeletion(7));
    ASSERT_TRUE(ConfirmsDeletion(replies_.Receive(milliseconds(5000)))) << server->StandardError();
    StopsOnTerm(*server);
    EXPECT_FALSE(std::filesystem::exists(totocalcio / "s.tcl.7"));
    const std::string err = server->StandardError();
    if (!toTrash) {
      EXPECT_NE(err.find("\ndeleted for good: " + system + "\n"), std::string::npos) << err;
      EXPECT_FALSE(std::filesystem::exists(trash / "files" / "s.tcl.7"));
      continue;
    }
    // Where the desktop's "Restore" finds it: the file whole, and its record with the path it
    // came from (spaces percent-encoded) and when it was deleted.
    EXPECT_NE(err.find("\nmoved to the trash: " + system + "\n"), std::string::npos) << err;
    EXPECT_EQ(FileBytes(trash / "files" / "s.tcl.7"), std::string(14, '\x01'));
    const std::string encoded = std::regex_replace(system, std::regex(" "), "%20");
    EXPECT_TRUE(
        std::regex_match(FileBytes(trash / "info" / "s.tcl.7.trashinfo"),
                         std::regex("\\[Trash Info\\]\nPath=" + encoded +
                                    "\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << FileBytes(trash / "info" / "s.tcl.7.trashinfo");
  }
}

TEST_F(ShellProcess, AnEventLogThatCannotBeWrittenLeavesRequestsAnsweredAndIsToldOnce) {
  // A file where the log's folder belongs: nothing can be made there, even by root, on any file
  // system.
  const auto state =
      dir_.Path() / "home" / ".local" / "state" / "Quillmarch" / "Quillmarch Varo Server";
  std::filesystem::create_directories(state.parent_path());
  WriteBytes(state, "in the way");
  const auto totocalcio = TotocalcioFolderIn(dir_.Path() / "home");
  WriteBytes(totocalcio / "s.tcl.7", std::string(14, '\x01'));
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = Start("unwritable");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();

  client_.SendTo(inPort, TotocalcioDeletion(7));
  EXPECT_TRUE(ConfirmsDeletion(replies_.Receive(milliseconds(5000)))) << server->StandardError();
  EXPECT_FALSE(std::filesystem::exists(totocalcio / "s.tcl.7"));
  StopsOnTerm(*server);

  // Standard error still has every event, and one warning for all of them.
  const std::string err = server->StandardError();
  EXPECT_NE(err.find("deleted at the request of 127.0.0.1"), std::string::npos) << err;
  const std::size_t warning = err.find("cannot write the event log: ");
  ASSERT_NE(warning, std::string::npos) << err;
  EXPECT_EQ(err.find("cannot write the event log", warning + 1), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(state / "eventi.log"));
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

  // A second start ends at once and the first keeps serving, whatever its runtime folder and home.
  const Environment first = env_;
  std::vector<std::unique_ptr<ChildProcess>> seconds;
  for (const char* variant : {"same", "no runtime folder", "other runtime folder and home"}) {
    env_ = first;
    if (std::string(variant) != "same") env_.erase("XDG_RUNTIME_DIR");
    if (std::string(variant) == "other runtime folder and home") {
      env_["XDG_RUNTIME_DIR"] = (dir_.Path() / "home").string();
      env_["HOME"] = dir_.Path().string();
    }
    seconds.push_back(Start(std::string("second-") + std::to_string(seconds.size())));
    EXPECT_EQ(seconds.back()->WaitExit(5.0), 0) << variant;
    EXPECT_EQ(seconds.back()->StandardError(),
              "quillmarch-varo-server: an instance is already running for this user\n")
        << variant;
  }
  env_ = first;
  EXPECT_EQ(Ask(inPort, 5.0), UnknownPairReply());

  StopsOnTerm(*server);
  // No handler logged, so standard output stayed empty; the settings were not rewritten.
  EXPECT_EQ(server->StandardOutput(), "") << server->StandardOutput();
  EXPECT_EQ(seconds[0]->StandardOutput(), "");
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
  StopsOnTerm(*server);
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
  StopsOnTerm(*server);
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
  StopsOnTerm(*next);
}

TEST_F(ShellProcess, StartsBeyondTheGuardsQueueAllFindTheRunningInstance) {
  // Listen queues of this test's network hold two waiting connections: without answers the guard
  // would be full after two starts.
  const char* const limit = "/proc/sys/net/core/somaxconn";
  std::string before;
  std::getline(std::ifstream(limit), before);
  std::ofstream(limit) << 1;
  struct Restore {
    const char* path;
    std::string value;
    ~Restore() { std::ofstream(path) << value; }
  } restore{limit, before};

  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = Start("first");
  ASSERT_TRUE(Ask(inPort, 10.0).has_value()) << server->StandardError();
  for (int start = 0; start < 6; ++start) {
    auto second = Start("second-" + std::to_string(start));
    EXPECT_EQ(second->WaitExit(5.0), 0) << start;
    EXPECT_EQ(second->StandardError(),
              "quillmarch-varo-server: an instance is already running for this user\n")
        << start;
  }
  EXPECT_EQ(Ask(inPort, 5.0), UnknownPairReply());
  StopsOnTerm(*server);
}

TEST_F(ShellProcess, ADisplayThatCannotBeReachedFallsBackToServingHeadless) {
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  env_["DISPLAY"] = ":59999";  // no X server answers there
  auto server = Start("unreachable");
  EXPECT_EQ(Ask(inPort, 10.0), UnknownPairReply()) << server->StandardError();
  StopsOnTerm(*server);
}

TEST_F(ShellProcess, AHeadlessStartWhoseInputPortIsTakenEndsWithOneAndSaysWhy) {
  UdpPeer holder;  // takes the port the program will try
  WritePorts(config_, holder.Port(), replies_.Port());
  auto server = Start("taken");
  // Nobody could choose another port without a display: it ends instead of listening on nothing.
  EXPECT_EQ(server->WaitExit(10.0), 1) << server->StandardError();
  const std::string err = server->StandardError();
  // The message and its advice, on one line.
  EXPECT_NE(err.find("quillmarch-varo-server: Could not bind socket. Address and port are already "
                     "in use. La porta " +
                     std::to_string(holder.Port()) + " è usata da un altro programma"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("input port " + std::to_string(holder.Port()) + " is in use"),
            std::string::npos)
      << err;
  EXPECT_EQ(server->StandardOutput(), "");
}

TEST_F(ShellProcess, AnotherUserHoldingTheGuardsNameIsWarnedAboutAndTheServerStarts) {
  const std::string name = InstanceLockPath("");
  // User 65534 binds this user's name.
  const pid_t squatter = HoldNameInChild(name, NameHolder::GuardAsNobody);
  const bool holding = squatter > 0;
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  auto server = holding ? Start("squatted") : nullptr;
  const auto reply = holding ? Ask(inPort, 10.0) : std::nullopt;
  if (holding) EndHolder(squatter);
  ASSERT_TRUE(holding);
  EXPECT_EQ(reply, UnknownPairReply()) << server->StandardError();
  EXPECT_TRUE(server->StandardError().starts_with(
      "quillmarch-varo-server: the single-instance name " + name +
      " is held by a process of user 65534; starting without the single-instance guard\n"))
      << server->StandardError();
}

// Under systemd: readiness only once the input port is bound, and the journal's priority prefixes
// only when standard error is the stream JOURNAL_STREAM names.
TEST_F(ShellProcess, TheServiceManagerHearsOfReadinessAndTheJournalGetsPriorities) {
  struct Case {
    const char* what;
    bool portTaken;
    bool journalIsStandardError;  // else JOURNAL_STREAM names another file
    bool queueFull;               // the manager's queue is full until a while after the start
  };
  for (const Case& c : {Case{"port free, another file", false, false, false},
                        Case{"port taken, the journal", true, true, false},
                        Case{"port free, a full queue", false, false, true}}) {
    const std::string tag = c.portTaken ? "taken" : c.queueFull ? "full" : "free";
    // systemd's side: a datagram socket whose path NOTIFY_SOCKET names.
    const auto socketPath = dir_.Path() / (tag + ".notify");
    const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Filled from fresh senders until even a fresh one is refused.
    for (bool sent = c.queueFull; sent;) {
      const int sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      const auto* to = reinterpret_cast<const sockaddr*>(&address);
      sent = ::sendto(sender, "x", 1, MSG_DONTWAIT, to, sizeof address) == 1;
      while (sent && ::sendto(sender, "x", 1, MSG_DONTWAIT, to, sizeof address) == 1) {
      }
      ::close(sender);
    }
    // The stream the child's standard error will be: its file exists before and keeps its inode.
    const auto journal = dir_.Path() / (tag + (c.journalIsStandardError ? ".err" : ".other"));
    std::ofstream{journal};
    struct stat named {};
    ASSERT_EQ(::stat(journal.c_str(), &named), 0);
    env_["NOTIFY_SOCKET"] = socketPath.string();
    env_["JOURNAL_STREAM"] = std::to_string(named.st_dev) + ":" + std::to_string(named.st_ino);

    UdpPeer holder;
    const std::uint16_t inPort = c.portTaken ? holder.Port() : FreeUdpPort();
    WritePorts(config_, inPort, replies_.Port());
    auto server = Start(tag);
    bool toldWhileEmptied = false;
    if (c.queueFull) {
      // Still full two seconds after the start, twenty tries on; readiness is told once there is
      // room.
      std::this_thread::sleep_for(std::chrono::milliseconds(2000));
      char got[64];
      for (ssize_t n; (n = ::recv(notify, got, sizeof got, MSG_DONTWAIT)) > 0;) {
        toldWhileEmptied = toldWhileEmptied || std::string(got, n) == "READY=1";
      }
    }
    pollfd ready{notify, POLLIN, 0};
    std::string message(64, '\0');
    if (toldWhileEmptied) {
      message = "READY=1";
    } else if (::poll(&ready, 1, c.portTaken ? 0 : 10000) == 1) {
      message.resize(static_cast<std::size_t>(
          std::max<ssize_t>(0, ::recv(notify, message.data(), message.size(), MSG_DONTWAIT))));
    } else {
      message.clear();
    }
    if (c.portTaken) {
      EXPECT_EQ(server->WaitExit(10.0), 1) << server->StandardError();
      EXPECT_EQ(::recv(notify, message.data(), message.size(), MSG_DONTWAIT), -1) << c.what;
      const std::string err = server->StandardError();
      // The start first, then the message about the port as it is shown.
      EXPECT_TRUE(err.starts_with("<5>Quillmarch Varo Server 1.15\n<5>")) << err;
      EXPECT_NE(err.find("\n<3>quillmarch-varo-server: Could not bind socket."), std::string::npos)
          << err;
      EXPECT_NE(err.find("\n<3>quillmarch-varo-server: ends,"), std::string::npos) << err;
    } else {
      ASSERT_EQ(message, "READY=1") << server->StandardError();
      // Ready means bound: the port is taken by the time the message arrives.
      EXPECT_THROW(UdpPeer{inPort}, std::runtime_error);
      server->Signal(SIGTERM);
      EXPECT_EQ(server->WaitExit(5.0), 0);
      EXPECT_TRUE(server->StandardError().starts_with("Quillmarch Varo Server 1.15\n"))
          << server->StandardError();
    }
    ::close(notify);
  }
}

}  // namespace
}  // namespace varo::test
