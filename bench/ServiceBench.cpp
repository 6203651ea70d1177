// The request service measured against floors taken side by side in the same run:
//   service path   unknown command pairs to the real server    vs  a minimal UDP echo server
//   small requests information, ticket 1 and list in a folder of 2 small systems, and
//                  information on a code that no file has     vs  unknown command pairs
//   large folders  information, ticket 1 and a list page of 62 at 100, 1,000 and 10,000 small
//                  systems in the folder                       vs  unknown command pairs
//   tickets        a ticket of a 4,782,969-column system        vs  a ticket of a one-ticket system
//   unchanged      information on that 67 MB system, a list of 62 systems of 100,000 columns,
//                  their summaries kept                         vs  an unknown pair's round trip
//   changed        the same two requests, the files' change time renewed before each round
//                                                               vs  read() of the file(s)
// the server's peak resident memory, and its growth with 10,000 kept summaries. Prints one
// Markdown table. Its files lie on /dev/shm, a tmpfs, where the server keeps listings and
// summaries whatever volume holds the temporary folder.
// A Windows build (varo-headless.exe) runs under Wine, in the prefix WINEPREFIX names, measured
// the same way against its own unknown pair, with the goals of the Windows build; a second table
// then counts, with Wine's call trace, the file-system calls of one request of each kind and of
// one list entry.
//
// usage: service_bench SERVER_PROGRAM [--calls-only]
//   SERVER_PROGRAM: quillmarch-varo-server, tools/varo-headless, or the Windows build's
//   varo-headless.exe; --calls-only: of a Windows build, only the table of traced calls.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchFiles.h"
#include "BenchServer.h"
#include "ClientRequests.h"
#include "ClosedLoop.h"

namespace {

using namespace varo::bench;
using varo::client::Game;
using namespace std::chrono_literals;

constexpr std::uint32_t BigColumns = 4'782'969;  // 3^14, 66,961,566 bytes
constexpr std::uint32_t ListColumns = 100'000;
constexpr int ListFiles = 62;
constexpr int FileRounds = 15;
constexpr int KeptRounds = 15;  // of requests with kept summaries, and of unknown pairs
constexpr int KeptBlock = 100;  // requests of one kind in a row within a round
// Small requests alternate with their baseline in short phases, so that both meet the same state
// of the processors (their clock and sleep states move a loopback round trip several-fold).
constexpr int SmallRounds = 8;
constexpr auto SmallPhase = 250ms;
// Folder sizes for the large-folder rows.
constexpr int GrowthSizes[] = {100, 1'000, 10'000};

// What a row must reach; unset, the row is reported only.
struct Goals {
  // Small requests, as a share of the unknown pair's rate: every request is handed from the
  // listener thread to the main thread, as the unknown pair is.
  std::optional<double> SmallInformation, SmallOthers;
  std::optional<double> BigTicket;    // round trips of a one-ticket system's ticket
  std::optional<double> KeptInfo;     // round trips of the unknown pair
  std::optional<double> ChangedInfo;  // times a read() of the file
  std::optional<double> KeptList;     // round trips of the unknown pair
  std::optional<double> ChangedList;  // times a read() of the files
  // The largest folder keeps this share of the smallest's ratio, and its list page this share of
  // the unknown pair's rate besides (a page costs one examination an entry).
  std::optional<double> Growth, ListPage;
};

// The Linux server's goals.
const Goals LinuxGoals{0.85, 0.85, 1.5, 1.5, 2.0, 3.0, 2.5, 0.8, 0.33};
// The Windows build under Wine, where every system call costs several times what it costs the
// Linux server: information on a system at most twice the unknown pair's round trip, the list of
// 62 unchanged systems at most 15 times.
const Goals WineGoals{0.5, {}, {}, 2.0, {}, 15.0, {}, {}, {}};
constexpr std::size_t ServiceMostRequests = 300'000;  // per round
constexpr auto ReplyTimeout = 10s;
constexpr int KeptSystems = 10'000;
// A summary is kept only of a file whose change time is 2 s older than the count; a little more
// is waited after the last change before the first count.
constexpr auto Settling = 2300ms;

varo::client::RequestTag Tag() {
  static std::uint64_t counter = 0;
  ++counter;
  varo::client::RequestTag tag{};
  for (int i = 0; i < 6; ++i) tag[i] = static_cast<std::uint8_t>(counter >> (8 * i));
  return tag;
}

// A request of a command pair that no handler serves: the endpoint answers with its header.
Datagram UnknownPair() {
  Datagram d(23, 0);
  const auto tag = Tag();
  std::copy(tag.begin(), tag.end(), d.begin() + 13);
  d[20] = 0x00, d[21] = 0x01, d[22] = 0x09;
  return d;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

struct Loop {
  std::vector<double> Micros;
  double Seconds = 0;
  double PerSecond() const { return Seconds > 0 ? Micros.size() / Seconds : 0; }
  void Absorb(const Loop& part) {
    Micros.insert(Micros.end(), part.Micros.begin(), part.Micros.end());
    Seconds += part.Seconds;
  }
};

// A request and the reply it must get: its length and the status word after the header.
struct Expected {
  std::function<Datagram()> Request;
  std::size_t ReplyLength;
  std::uint16_t Status;
  const char* What;
};

const Expected UnknownPairExpected{UnknownPair, 23, 0, "service-path request"};

void Check(const Datagram& reply, const Expected& expected) {
  const bool statusOk = reply.size() == expected.ReplyLength &&
                        (reply.size() < 25 || (reply[23] == expected.Status >> 8 &&
                                               reply[24] == (expected.Status & 0xFF)));
  if (!statusOk) {
    throw std::runtime_error(std::string("unexpected reply to the ") + expected.What + " (" +
                             std::to_string(reply.size()) + " bytes)");
  }
}

// Microseconds of one exchange whose reply must be the expected one.
double TimedExchange(ClosedLoopClient& client, std::uint16_t port, const Expected& expected) {
  Datagram reply;
  const auto took = client.Exchange(port, expected.Request(), ReplyTimeout, &reply);
  if (!took) throw std::runtime_error(std::string("no answer to the ") + expected.What);
  Check(reply, expected);
  return took->count();
}

// Closed loop for a bounded time and count; a lost or unexpected reply ends the run.
void RunLoop(ClosedLoopClient& client, std::uint16_t port, Loop& loop, const Expected& expected,
             std::chrono::milliseconds phase) {
  Datagram reply;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < ServiceMostRequests; ++i) {
    const auto took = client.Exchange(port, expected.Request(), 1000ms, &reply);
    if (!took) throw std::runtime_error(std::string("no answer to a ") + expected.What);
    Check(reply, expected);
    loop.Micros.push_back(took->count());
    if (std::chrono::steady_clock::now() - start >= phase) break;
  }
  loop.Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double TimedRead(const std::vector<std::filesystem::path>& files, std::uint64_t expected) {
  const auto start = std::chrono::steady_clock::now();
  if (ReadWhole(files) != expected) throw std::runtime_error("short read of the system files");
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

struct Row {
  std::string Name, Server, Baseline, Goal;  // Goal "-": reported only, not judged
  double Ratio;                              // of the medians; the goal is judged on it
  bool Met;
  double BestRatio = 0;  // of the fastest rounds, less moved by other load on the machine
  bool Judged() const { return Goal != "-"; }
};

std::string Format(const char* pattern, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

// A row whose ratio must be at most the goal, or at least it; reported only without a goal.
Row GoalRow(std::string name, std::string server, std::string baseline, double ratio,
           std::optional<double> goal, bool atMost, double bestRatio, const char* goalFormat) {
  if (!goal) return {name, server, baseline, "-", ratio, false, bestRatio};
  const std::string text = std::string(atMost ? "<= " : ">= ") + Format(goalFormat, *goal);
  return {name, server, baseline, text, ratio, atMost ? ratio <= *goal : ratio >= *goal,
          bestRatio};
}

// "median X ms, best Y ms" of a set of rounds, or in another unit.
std::string Times(const char* number, const std::vector<double>& ms, const char* unit = "ms") {
  const std::string pattern =
      std::string("median ") + number + " " + unit + ", best " + number + " " + unit;
  return Format(pattern.c_str(), Median(ms), *std::min_element(ms.begin(), ms.end()));
}

double BestRatio(const std::vector<double>& server, const std::vector<double>& baseline) {
  return *std::min_element(server.begin(), server.end()) /
         *std::min_element(baseline.begin(), baseline.end());
}

// Waits until the files changed up to `lastChange` count as settled for the server.
void Settle(std::chrono::steady_clock::time_point lastChange) {
  std::this_thread::sleep_until(lastChange + Settling);
}

// Rounds of requests with kept summaries and of unknown pairs, each kind in a block of its own so
// that neither is timed while the server still finishes work of the other: microseconds of each.
void KeptRoundsRun(ClosedLoopClient& client, std::uint16_t port, const Expected& expected,
                   std::vector<double>& server, std::vector<double>& pair) {
  TimedExchange(client, port, expected);  // counts the summaries, which are kept from now on
  for (int round = 0; round < KeptRounds; ++round) {
    for (int i = 0; i < KeptBlock; ++i) server.push_back(TimedExchange(client, port, expected));
    for (int i = 0; i < KeptBlock; ++i) {
      pair.push_back(TimedExchange(client, port, UnknownPairExpected));
    }
  }
}

void Move(const std::vector<std::filesystem::path>& files, const std::filesystem::path& folder) {
  for (const auto& file : files) std::filesystem::rename(file, folder / file.filename());
}

// A request alternated with its baseline in SmallRounds short phases each, which goes first
// changing from round to round: the rate of each round's request against its baseline's.
struct Alternation {
  Loop Server, Baseline;
  std::vector<double> Ratios, BaselineRates;
  double Ratio() const { return Median(Ratios); }
  double BestRatio() const { return *std::max_element(Ratios.begin(), Ratios.end()); }
  std::string ServerText() const {
    return Format("%.0f req/s, p50 %.0f us, p99 %.0f us", Server.PerSecond(),
                  Percentile(Server.Micros, 0.5), Percentile(Server.Micros, 0.99));
  }
  std::string BaselineText(const char* what) const {
    return std::string(what) +
           Format(" alternating with it %.0f req/s, rounds %.0f to %.0f req/s",
                  Baseline.PerSecond(),
                  *std::min_element(BaselineRates.begin(), BaselineRates.end()),
                  *std::max_element(BaselineRates.begin(), BaselineRates.end()));
  }
};

Alternation Alternate(ClosedLoopClient& client, std::uint16_t port, const Expected& expected,
                      std::uint16_t baselinePort, const Expected& baseline) {
  Alternation a;
  for (int round = 0; round < SmallRounds; ++round) {
    Loop serverRound, baselineRound;
    if (round % 2 == 0) RunLoop(client, baselinePort, baselineRound, baseline, SmallPhase);
    RunLoop(client, port, serverRound, expected, SmallPhase);
    if (round % 2 != 0) RunLoop(client, baselinePort, baselineRound, baseline, SmallPhase);
    a.Ratios.push_back(serverRound.PerSecond() / baselineRound.PerSecond());
    a.BaselineRates.push_back(baselineRound.PerSecond());
    a.Server.Absorb(serverRound);
    a.Baseline.Absorb(baselineRound);
  }
  return a;
}

// 10000 as "10,000".
std::string WithThousands(int n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::int32_t GrowthCode(int i) {
  return 10'000 + i;
}

// The name of the i-th small system of the large-folder rows: archive order is the order of i.
std::string GrowthName(int i) {
  char name[40];
  std::snprintf(name, sizeof name, "Sistema%05d.gcl.%d", i, GrowthCode(i));
  return name;
}

// File-system calls as Wine's call trace shows them: the kernel's calls on files (ntdll's), all of
// them, and among them the opens and the queries by path, which pass every file-system filter.
struct FileSystemCalls {
  double All = 0, Opens = 0, ByPath = 0;
};

// Counts the calls in a stretch of Wine's trace ("0024:Call ntdll.NtCreateFile(...").
FileSystemCalls CountFileSystemCalls(const std::string& trace) {
  static const std::vector<std::string> opens = {"NtCreateFile", "NtOpenFile"};
  static const std::vector<std::string> byPath = {"NtQueryAttributesFile",
                                                  "NtQueryFullAttributesFile"};
  static const std::vector<std::string> onHandles = {
      "NtQueryInformationFile", "NtQueryVolumeInformationFile", "NtQueryDirectoryFile",
      "NtQueryDirectoryFileEx", "NtReadFile",                   "NtSetInformationFile",
      "NtFsControlFile",        "NtNotifyChangeDirectoryFile",  "NtQueryEaFile",
      "NtClose"};
  const auto among = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  FileSystemCalls calls;
  const std::string marker = ":Call ntdll.";
  for (std::size_t at = trace.find(marker); at != std::string::npos;
       at = trace.find(marker, at + 1)) {
    const std::size_t begin = at + marker.size();
    const std::string name = trace.substr(begin, trace.find('(', begin) - begin);
    const bool open = among(opens, name), path = among(byPath, name);
    if (open || path || among(onHandles, name)) ++calls.All;
    if (open) ++calls.Opens;
    if (path) ++calls.ByPath;
  }
  return calls;
}

// One request to a traced server and the calls it made: the trace's growth from the request
// until a moment after its reply, when the server has finished with it.
FileSystemCalls TracedExchange(ClosedLoopClient& client, std::uint16_t port,
                               const Expected& expected, const std::filesystem::path& trace) {
  const std::uintmax_t before = std::filesystem::file_size(trace);
  Datagram reply;
  if (!client.Exchange(port, expected.Request(), 60s, &reply)) {
    throw std::runtime_error(std::string("no answer to the traced ") + expected.What);
  }
  Check(reply, expected);
  std::this_thread::sleep_for(1s);
  std::ifstream file(trace, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(before));
  const std::string stretch((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  return CountFileSystemCalls(stretch);
}

// The Windows build under Wine's call trace, on Documents of its own with 62 unchanged 3-column
// systems: prints the calls of one request of each kind and of one list entry (a list of 62 less
// a list of 1, over 61); false when an entry makes more than one kernel open or any query by path.
bool PrintTracedCalls(const std::filesystem::path& program, const std::filesystem::path& home,
                      std::uint16_t inPort, ClosedLoopClient& client, std::uint16_t outPort) {
  BenchServer server(program, home, inPort, outPort);
  for (int i = 0; i < ListFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Traccia%02d.gcl.%d", i, 100 + i);
    WriteSystemFile(server.TotogolFolder() / name, 3);
  }
  Settle(std::chrono::steady_clock::now());
  server.TraceCalls(true);
  std::fprintf(stderr, "the same requests under Wine's call trace ...\n");
  server.Start();
  bool ready = false;
  for (int attempt = 0; attempt < 100 && !ready; ++attempt) {
    ready = client.Exchange(inPort, UnknownPair(), 1000ms).has_value();
  }
  if (!ready) {
    const std::string ended = server.Stop();
    throw std::runtime_error("the traced server did not answer within 100 s (" + ended +
                             "); its standard error ends:\n" + server.ErrorsEnd());
  }
  const Expected requests[] = {
      {UnknownPair, 23, 0, "unknown command pair (the hand-over)"},
      {[] { return BuildInfoRequest(Game::Totogol, 999, Tag()); }, 23 + 61, 870,
       "information on a code that no file has"},
      {[] { return BuildInfoRequest(Game::Totogol, 130, Tag()); }, 23 + 61, 1,
       "information on a kept system"},
      {[] { return BuildTicketRequest(Game::Totogol, 130, 1, Tag()); }, 23 + 9 + 3 * 9, 1,
       "ticket 1 of that system"},
      {[] { return BuildListRequest(Game::Totogol, 1, 1, Tag()); }, 23 + 4 + 32, 1,
       "list of 1 kept system"},
      {[] { return BuildListRequest(Game::Totogol, 1, 62, Tag()); }, 23 + 4 + 62 * 32, 1,
       "list of 62 kept systems"},
  };
  // Warmed twice: the first lists the folder and keeps the summaries, the second finds them kept.
  for (int round = 0; round < 2; ++round) {
    for (const Expected& expected : requests) {
      if (!client.Exchange(inPort, expected.Request(), 60s)) {
        throw std::runtime_error(std::string("no answer to the traced ") + expected.What);
      }
    }
  }
  std::printf(
      "\n| request, Windows build under Wine's call trace | file-system calls | kernel opens | "
      "queries by path |\n|---|---|---|---|\n");
  std::vector<FileSystemCalls> counted;
  for (const Expected& expected : requests) {
    counted.push_back(TracedExchange(client, inPort, expected, server.ErrorsFile()));
    const FileSystemCalls& c = counted.back();
    std::printf("| %s | %.0f | %.0f | %.0f |\n", expected.What, c.All, c.Opens, c.ByPath);
  }
  const FileSystemCalls& one = counted[counted.size() - 2];
  const FileSystemCalls& all = counted.back();
  const FileSystemCalls entry{(all.All - one.All) / (ListFiles - 1),
                              (all.Opens - one.Opens) / (ListFiles - 1),
                              (all.ByPath - one.ByPath) / (ListFiles - 1)};
  const bool met = entry.Opens <= 1.0 && entry.ByPath == 0;
  std::printf(
      "| one entry of a list of kept systems (the list of 62 less the list of 1, over 61; goal: "
      "at most 1 kernel open, no query by path: %s) | %.1f | %.1f | %.1f |\n",
      met ? "met" : "NOT met", entry.All, entry.Opens, entry.ByPath);
  server.Stop();
  return met;
}

// A temporary folder below /dev/shm, removed with everything in it when it goes.
struct ShmFolder {
  ShmFolder() {
    std::string pattern = "/dev/shm/varo-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder below /dev/shm");
    Path = pattern;
  }
  ~ShmFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::filesystem::path Path;
};

// Only the table of traced calls, for a Windows build.
int CallsOnly(const std::filesystem::path& program) {
  const ShmFolder home;
  const std::uint16_t inPort = FreePort(), outPort = FreePort();
  ClosedLoopClient client(outPort);
  return PrintTracedCalls(program, home.Path, inPort, client, outPort) ? 0 : 1;
}

int Main(const std::filesystem::path& program) {
  const bool wine = program.extension() == ".exe";
  const Goals& goals = wine ? WineGoals : LinuxGoals;
  const ShmFolder folder;
  const std::filesystem::path& home = folder.Path;

  const std::uint16_t inPort = FreePort(), outPort = FreePort(), echoPort = FreePort();
  BenchServer server(program, home, inPort, outPort);

  std::fprintf(stderr, "writing system files below %s ...\n", home.c_str());
  const auto big = server.TotocalcioFolder() / "Grande.tcl.1";
  const auto small = server.TotocalcioFolder() / "Piccolo.tcl.2";
  WriteSystemFile(big, BigColumns);
  WriteSystemFile(small, 64);
  // The small requests' folder of 2 systems; the 62 list systems wait outside the archive.
  const std::vector<std::filesystem::path> pairFolder = {server.TotogolFolder() / "Tre.gcl.3",
                                                         server.TotogolFolder() / "Uno.gcl.4"};
  WriteSystemFile(pairFolder[0], 3);
  WriteSystemFile(pairFolder[1], 1);
  const std::filesystem::path waiting = home / "waiting";
  std::filesystem::create_directories(waiting);
  std::vector<std::filesystem::path> listed;
  for (int i = 0; i < ListFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Lista%02d.gcl.%d", i, 100 + i);
    listed.push_back(waiting / name);
    WriteSystemFile(listed.back(), ListColumns);
  }
  auto lastChange = std::chrono::steady_clock::now();
  const std::uint64_t bigBytes = std::filesystem::file_size(big);
  const std::uint64_t listedBytes = 14ull * ListColumns * ListFiles;

  ClosedLoopClient client(outPort);
  EchoServer echo(echoPort, outPort);
  std::fprintf(stderr, "starting %s on %u, answers to %u ...\n", program.c_str(), inPort, outPort);
  server.Start();
  bool ready = false;
  // Wine may take a while to start a program.
  const int attempts = wine ? 300 : 100;
  for (int attempt = 0; attempt < attempts && !ready; ++attempt) {
    ready = client.Exchange(inPort, UnknownPair(), 200ms).has_value();
  }
  if (!ready) {
    // A second instance for this user, for one, says so and ends at once.
    const std::string ended = server.Stop();
    throw std::runtime_error("the server did not answer within " +
                             std::to_string(attempts / 5) + " s (" + ended +
                             "); its standard error:\n" + server.Errors());
  }

  std::vector<Row> rows;

  std::fprintf(stderr, "service path ...\n");
  for (int i = 0; i < 200; ++i) client.Exchange(echoPort, UnknownPair(), 1000ms);
  const Alternation service =
      Alternate(client, inPort, UnknownPairExpected, echoPort, UnknownPairExpected);
  rows.push_back({"service path (unknown command pair)", service.ServerText(),
                  service.BaselineText("echo floor"), "-", service.Ratio(), false,
                  service.BestRatio()});

  std::fprintf(stderr, "small requests ...\n");
  Settle(lastChange);
  const Expected smallRequests[] = {
      {[] { return BuildInfoRequest(Game::Totogol, 3, Tag()); }, 23 + 61, 1,
       "information on a 3-column system"},
      {[] { return BuildTicketRequest(Game::Totogol, 3, 1, Tag()); }, 23 + 9 + 3 * 9, 1,
       "ticket 1 of that system"},
      {[] { return BuildListRequest(Game::Totogol, 1, 62, Tag()); }, 23 + 4 + 2 * 32, 1,
       "list of both systems"},
      {[] { return BuildInfoRequest(Game::Totogol, 999, Tag()); }, 23 + 61, 870,
       "information on a code that no file has"},
  };
  for (const Expected& expected : smallRequests) {
    TimedExchange(client, inPort, expected);  // lists the folder and keeps what it may
    const Alternation a = Alternate(client, inPort, expected, inPort, UnknownPairExpected);
    const bool information = &expected == &smallRequests[0];
    rows.push_back(GoalRow(std::string(expected.What) + " (folder of 2)", a.ServerText(),
                          a.BaselineText("unknown pair"), a.Ratio(),
                          information ? goals.SmallInformation : goals.SmallOthers, false,
                          a.BestRatio(), "%.2f"));
  }

  std::fprintf(stderr, "tickets ...\n");
  const std::uint32_t middleTicket = BigColumns / 64 / 2;
  std::vector<double> bigTicket, smallTicket;
  auto ticketOf = [&](std::int32_t code, std::uint32_t ticket) {
    const Expected request{
        [=] { return BuildTicketRequest(Game::Totocalcio, code, ticket, Tag()); }, 23 + 9 + 64 * 7,
        1, "ticket request"};
    return TimedExchange(client, inPort, request) / 1000.0;
  };
  for (int round = -1; round < FileRounds; ++round) {  // round -1 warms the page cache
    // Alternating which goes first, so that neither always follows the other.
    const bool bigFirst = round % 2 == 0;
    const double first = bigFirst ? ticketOf(1, middleTicket) : ticketOf(2, 1);
    const double second = bigFirst ? ticketOf(2, 1) : ticketOf(1, middleTicket);
    if (round >= 0) {
      bigTicket.push_back(bigFirst ? first : second);
      smallTicket.push_back(bigFirst ? second : first);
    }
  }
  const double ticketRatio = Median(bigTicket) / Median(smallTicket);
  rows.push_back(GoalRow("ticket of a 4,782,969-column system", Times("%.3f", bigTicket),
                        "one-ticket system " + Times("%.3f", smallTicket), ticketRatio,
                        goals.BigTicket, true, BestRatio(bigTicket, smallTicket), "%.1f"));

  std::fprintf(stderr, "summaries ...\n");
  const Expected bigInfo{[] { return BuildInfoRequest(Game::Totocalcio, 1, Tag()); }, 23 + 61, 1,
                         "information request"};
  std::vector<double> keptInfo, infoPair;
  KeptRoundsRun(client, inPort, bigInfo, keptInfo, infoPair);
  const double keptInfoRatio = Median(keptInfo) / Median(infoPair);
  rows.push_back(GoalRow("information on the unchanged 67 MB system (folder of 2)",
                        Times("%.0f", keptInfo, "us"),
                        "unknown pair " + Times("%.0f", infoPair, "us"), keptInfoRatio,
                        goals.KeptInfo, true, BestRatio(keptInfo, infoPair), "%.1f"));

  std::vector<double> info, readBig;
  for (int round = -1; round < FileRounds; ++round) {
    RenewChangeTimes({big});
    const double i = TimedExchange(client, inPort, bigInfo) / 1000.0;
    const double r = TimedRead({big}, bigBytes);
    if (round >= 0) info.push_back(i), readBig.push_back(r);
  }
  const double infoRatio = Median(info) / Median(readBig);
  rows.push_back(GoalRow("information on the 67 MB system, changed before each round",
                        Times("%.2f", info), "read() in 64 KiB blocks " + Times("%.2f", readBig),
                        infoRatio, goals.ChangedInfo, true, BestRatio(info, readBig), "%.1f"));

  std::fprintf(stderr, "lists ...\n");
  Move(pairFolder, waiting);
  Move(listed, server.TotogolFolder());
  for (auto& file : listed) file = server.TotogolFolder() / file.filename();
  lastChange = std::chrono::steady_clock::now();
  Settle(lastChange);
  const Expected listOf62{[] { return BuildListRequest(Game::Totogol, 1, 62, Tag()); },
                          23 + 4 + 62 * 32, 1, "list request"};
  std::vector<double> keptList, listPair;
  KeptRoundsRun(client, inPort, listOf62, keptList, listPair);
  const double keptListRatio = Median(keptList) / Median(listPair);
  rows.push_back(GoalRow("list of 62 unchanged systems of 100,000 columns",
                        Times("%.0f", keptList, "us"),
                        "unknown pair " + Times("%.0f", listPair, "us"), keptListRatio,
                        goals.KeptList, true, BestRatio(keptList, listPair), "%.1f"));

  std::vector<double> list, readListed;
  for (int round = -1; round < FileRounds; ++round) {
    RenewChangeTimes(listed);
    const double l = TimedExchange(client, inPort, listOf62) / 1000.0;
    const double r = TimedRead(listed, listedBytes);
    if (round >= 0) list.push_back(l), readListed.push_back(r);
  }
  const double listRatio = Median(list) / Median(readListed);
  rows.push_back(GoalRow("list of 62 systems of 100,000 columns, changed before each round",
                        Times("%.2f", list), "read() of the 62 files " + Times("%.2f", readListed),
                        listRatio, goals.ChangedList, true, BestRatio(list, readListed), "%.1f"));

  const long peak = server.PeakResidentKiB();

  // The same small requests in a folder grown from 100 to 10,000 systems: with the listing kept,
  // each should cost what it costs among 100.
  std::fprintf(stderr, "large folders ...\n");
  Move(listed, waiting);
  constexpr int Sizes = std::size(GrowthSizes);
  constexpr const char* GrowthKinds[] = {"information on a 3-column system",
                                         "ticket 1 of that system", "list page of 62 systems"};
  Alternation grown[3][Sizes];
  int written = 0;
  for (int size = 0; size < Sizes; ++size) {
    const int count = GrowthSizes[size];
    for (; written < count; ++written) {
      WriteSystemFile(server.TotogolFolder() / GrowthName(written), 3);
    }
    lastChange = std::chrono::steady_clock::now();
    Settle(lastChange);
    // A code whose file sorts in the middle of the folder, and a page from its middle.
    const std::int32_t code = GrowthCode(count / 2);
    const std::uint32_t first = static_cast<std::uint32_t>(count / 2 - 30);
    const Expected requests[3] = {
        {[code] { return BuildInfoRequest(Game::Totogol, code, Tag()); }, 23 + 61, 1,
         "information request"},
        {[code] { return BuildTicketRequest(Game::Totogol, code, 1, Tag()); }, 23 + 9 + 3 * 9, 1,
         "ticket request"},
        {[first] { return BuildListRequest(Game::Totogol, first, first + 61, Tag()); },
         23 + 4 + 62 * 32, 1, "list page"},
    };
    TimedExchange(client, inPort, requests[2]);  // the one listing after the folder grew
    for (int kind = 0; kind < 3; ++kind) {
      TimedExchange(client, inPort, requests[kind]);
      grown[kind][size] = Alternate(client, inPort, requests[kind], inPort, UnknownPairExpected);
    }
  }
  for (int kind = 0; kind < 3; ++kind) {
    const double smallest = grown[kind][0].Ratio();
    for (int size = 0; size < Sizes; ++size) {
      const Alternation& a = grown[kind][size];
      const bool judged = size == Sizes - 1 && goals.Growth && goals.ListPage;
      const std::string name =
          std::string(GrowthKinds[kind]) + " (folder of " + WithThousands(GrowthSizes[size]) + ")";
      const double growth = goals.Growth.value_or(0);
      const double page = goals.ListPage.value_or(0);
      rows.push_back(
          {name, a.ServerText(), a.BaselineText("unknown pair"),
           judged ? (kind == 2 ? Format(">= %.2f and >= %.1f x %.2f", page, growth, smallest)
                               : Format(">= %.1f x %.2f = %.2f", growth, smallest,
                                        growth * smallest))
                  : "-",
           a.Ratio(), a.Ratio() >= growth * smallest && (kind != 2 || a.Ratio() >= page),
           a.BestRatio()});
    }
  }

  // 10,000 systems in the Totocalcio folder, each summarised once by a list page and kept.
  std::fprintf(stderr, "memory of %d kept summaries ...\n", KeptSystems);
  for (int i = 0; i < KeptSystems - 2; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Memoria%04d.tcl.%d", i, 1000 + i);
    WriteSystemFile(server.TotocalcioFolder() / name, 1);
  }
  lastChange = std::chrono::steady_clock::now();
  Settle(lastChange);
  // A page past the end lists the folder once without summarising anything.
  TimedExchange(client, inPort,
                {[] { return BuildListRequest(Game::Totocalcio, 60000, 60000, Tag()); }, 23 + 4,
                 870, "list request past the end"});
  const long beforeKept = server.ResidentKiB();
  for (int first = 1; first <= KeptSystems; first += 62) {
    const int entries = std::min(62, KeptSystems - first + 1);
    TimedExchange(client, inPort,
                  {[first] { return BuildListRequest(Game::Totocalcio, first, first + 61, Tag()); },
                   static_cast<std::size_t>(23 + 4 + 32 * entries), 1, "list page"});
  }
  const long afterKept = server.ResidentKiB();
  const std::string ended = server.Stop();

  std::printf(
      "| benchmark | server | baseline, same run | ratio | goal | met | ratio of bests |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows) {
    const std::string best = r.BestRatio > 0 ? Format("%.2f", r.BestRatio) : "-";
    const char* met = !r.Judged() ? "-" : r.Met ? "yes" : "NO";
    std::printf("| %s | %s | %s | %.2f | %s | %s | %s |\n", r.Name.c_str(), r.Server.c_str(),
                r.Baseline.c_str(), r.Ratio, r.Goal.c_str(), met, best.c_str());
  }
  std::printf(
      "\nServer peak resident memory (VmHWM) before the large folders: %ld KiB (%.1f MiB); "
      "alternating rows: median of %d rounds of %lld ms each side; file rows: medians of %d "
      "rounds, for unchanged systems of %d rounds of %d requests and %d unknown pairs; server "
      "ended: %s\n",
      peak, peak / 1024.0, SmallRounds, static_cast<long long>(SmallPhase.count()), FileRounds,
      KeptRounds, KeptBlock, KeptBlock, ended.c_str());
  std::printf(
      "Kept summaries of %d systems (every list page of a folder of %d): server resident memory "
      "(VmRSS) %ld KiB before, %ld KiB after, %+ld KiB (memory the server had freed is used "
      "first; summary_bench gives the heap they take)\n",
      KeptSystems, KeptSystems, beforeKept, afterKept, afterKept - beforeKept);
  const bool callsMet = !wine || PrintTracedCalls(program, home / "trace", inPort, client, outPort);
  return callsMet &&
                 std::all_of(rows.begin(), rows.end(),
                             [](const Row& r) { return !r.Judged() || r.Met; })
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool callsOnly = argc == 3 && std::string(argv[2]) == "--calls-only";
  if (argc != 2 && !callsOnly) {
    std::fprintf(stderr, "usage: service_bench SERVER_PROGRAM [--calls-only]\n");
    return 64;
  }
  try {
    const auto program = std::filesystem::absolute(argv[1]);
    if (callsOnly) return program.extension() == ".exe" ? CallsOnly(program) : 64;
    return Main(program);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "service_bench: %s\n", e.what());
    return 2;
  }
}
