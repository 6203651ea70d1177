// A server that may not read or delete a system file: the request's first log line stays, no
// second line follows and no reply goes out, also when the file's summary was kept while it could
// be read. Root reads and deletes anything, so the server runs in a child process as an
// unprivileged user.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "InProcessServer.h"
#include "posix/OtherUser.h"

namespace varo::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t ProbeTag = 0xEE;
constexpr std::uint8_t StartTag = 0xEF;

// Writes each line to a pipe, so the test process can read what the child logged.
struct PipeLog : ActivityLog {
  int Fd;
  explicit PipeLog(int fd) : Fd(fd) {}
  void Append(const std::string& line) override {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = ::write(Fd, text.data(), text.size());
  }
};

// The child: drops to the unprivileged user, then serves for at most ten seconds. Its clock runs
// an hour ahead, so every summary it computes is kept.
[[noreturn]] void ServeAsNobody(const ArchiveFolders& folders, std::uint16_t inputPort,
                                std::uint16_t outputPort, int logFd) {
  if (!BecomeNobody()) ::_exit(3);
  PipeLog log(logFd);
  LoopHandOver handOver;
  RequestState state;
  state.OutputPort = outputPort;
  const HandlerTable handlers = MakeHandlerTable(
      std::make_shared<SystemArchive>(folders, SummaryCacheSeams{.FileClock =
                                                                   [] {
                                                                     FileTime now = FileClockNow();
                                                                     now.Seconds += 3600;
                                                                     return now;
                                                                   }}),
      log);
  UDPServer server(
      handOver, [&](const ReceivedDatagram& d) { UDPServerUDPRead(state, handlers, d, server); });
  server.SetInputPort(inputPort);
  try {
    server.Activate();
  } catch (...) {
    ::_exit(4);
  }
  handOver.ServeFor(10s);
  server.Deactivate();
  ::_exit(0);
}

// The lines the child logged, without their time stamps.
std::vector<std::string> Bodies(const std::string& logged) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = logged.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(logged.substr(start, end - start));
  }
  return WithoutStamps(lines);
}

TEST(UnreadableSystem, FirstLineStaysAndNoReplyGoesOut) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the server as another user";
  TempDir documents(KeepingVolume());
  const ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
  std::filesystem::create_directories(folders.TotocalcioFolder);
  // The unprivileged user may enter and list the folders, and write nothing in them.
  ASSERT_TRUE(OpenToNobody(folders.TotocalcioFolder, documents.Path()));
  const std::string readable = folders.TotocalcioFolder + "/Aperto.tcl.6";
  const std::string unreadable = folders.TotocalcioFolder + "/Chiuso.tcl.5";
  documents.WriteFile(std::filesystem::relative(readable, documents.Path()).string(), Column(0x01));
  documents.WriteFile(std::filesystem::relative(unreadable, documents.Path()).string(),
                      Column(0x01));
  ASSERT_EQ(::chmod(readable.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(unreadable.c_str(), 0644), 0);

  UdpPeer client;
  UdpPeer replies;
  const std::uint16_t inputPort = FreeUdpPort();
  int logPipe[2];
  ASSERT_EQ(::pipe2(logPipe, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(logPipe[0]);
    ServeAsNobody(folders, inputPort, replies.Port(), logPipe[1]);
  }
  ::close(logPipe[1]);

  // The next reply that is not a late answer to one of the start-up probes.
  auto nextReply = [&] {
    std::optional<Bytes> reply;
    do {
      reply = replies.Receive(2000ms);
    } while (reply && (*reply)[0] == StartTag);
    return reply;
  };
  auto probe = [&] {
    client.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = ProbeTag}));
    return nextReply();
  };
  // Waits for the child to serve: an unknown pair is answered with its own header.
  bool serving = false;
  for (int attempt = 0; attempt < 50 && !serving; ++attempt) {
    client.SendTo(inputPort, BuildRequest({.Command = 1, .Tag = StartTag}));
    serving = replies.Receive(100ms).has_value();
  }
  ASSERT_TRUE(serving) << "the unprivileged server did not answer";

  // Each request is followed by a probe; requests are answered in order, so the probe's reply
  // arriving first means the request got none.
  // While it may be read, the system is summarised and its summary kept.
  auto expectAnswered = [&](const RequestFields& fields, const char* what) {
    client.SendTo(inputPort, BuildRequest(fields));
    const auto reply = nextReply();
    ASSERT_TRUE(reply) << what;
    EXPECT_EQ(Slice(*reply, 23, 2), (Bytes{0x00, 0x01})) << what;
  };
  expectAnswered({.Command = 520, .SubCommand = 1, .Payload = {0, 0, 0, 5}}, "information");
  expectAnswered({.Command = 510, .SubCommand = 1, .Payload = {1, 0, 1, 0, 9}}, "list");
  ASSERT_EQ(::chmod(unreadable.c_str(), 0000), 0);

  auto expectNoReply = [&](const RequestFields& fields, const char* what) {
    client.SendTo(inputPort, BuildRequest(fields));
    const auto first = probe();
    ASSERT_TRUE(first) << what;
    EXPECT_EQ((*first)[0], ProbeTag) << what << " was answered";
  };
  expectNoReply({.Command = 520, .SubCommand = 1, .Payload = {0, 0, 0, 5}}, "information");
  expectNoReply({.Command = 520, .SubCommand = 2, .Payload = {0, 0, 0, 5, 0, 1}}, "ticket");
  expectNoReply({.Command = 510, .SubCommand = 1, .Payload = {1, 0, 1, 0, 9}}, "list");
  expectNoReply({.Command = 510, .SubCommand = 2, .Payload = {1, 0, 0, 0, 6}}, "deletion");
  // The readable system is still served by the same unprivileged server.
  client.SendTo(inputPort,
                BuildRequest({.Command = 520, .SubCommand = 1, .Payload = {0, 0, 0, 6}}));
  const auto answered = nextReply();
  ASSERT_TRUE(answered);
  EXPECT_EQ(Slice(*answered, 23, 2), (Bytes{0x00, 0x01}));

  ::kill(child, SIGKILL);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  std::string logged;
  char buffer[4096];
  for (ssize_t n; (n = ::read(logPipe[0], buffer, sizeof buffer)) > 0;) logged.append(buffer, n);
  ::close(logPipe[0]);

  EXPECT_EQ(Bodies(logged), (std::vector<std::string>{
                                "Richiesta informazioni Chiuso.tcl.5",
                                "Informazioni inviate",
                                "Richiesta lista Totocalcio",
                                "Elenco inviato (2)",
                                "Richiesta informazioni Chiuso.tcl.5",
                                "Richiesta biglietto N. 1 del sistema Chiuso.tcl.5",
                                "Richiesta lista Totocalcio",
                                "Richiesta cancellazione " + readable,
                                "Richiesta informazioni Aperto.tcl.6",
                                "Informazioni inviate",
                            }));
  // A deletion that was refused left the file where it was.
  EXPECT_TRUE(std::filesystem::exists(readable));
}

}  // namespace
}  // namespace varo::test
