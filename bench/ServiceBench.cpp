// The request service measured against floors taken side by side in the same run:
//   service path   unknown command pairs to the real server    vs  a minimal UDP echo server
//   small requests information, ticket 1 and list in a folder of 2 small systems, and
//                  information on a code that no file has     vs  the same echo floor
//   tickets        a ticket of a 4,782,969-column system        vs  a ticket of a one-ticket system
//   unchanged      information on that 67 MB system, a list of 62 systems of 100,000 columns,
//                  their summaries kept                         vs  an unknown pair's round trip
//   changed        the same two requests, the files' change time renewed before each round
//                                                               vs  read() of the file(s)
// the server's peak resident memory, and its growth with 10,000 kept summaries. Prints one
// Markdown table.
//
// usage: service_bench SERVER_PROGRAM   (quillmarch-varo-server, or tools/varo-headless)

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
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
constexpr int KeptRounds = 15;         // of requests with kept summaries, and of unknown pairs
constexpr int KeptBlock = 100;         // requests of one kind in a row within a round
constexpr auto ServicePhase = 1500ms;  // per round, two rounds each side
// Small requests alternate with the echo floor in short phases, so that both meet the same state
// of the processors (their clock and sleep states move a loopback round trip several-fold).
constexpr int SmallRounds = 8;
constexpr auto SmallPhase = 250ms;
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
void RunLoop(ClosedLoopClient& client, std::uint16_t port, Loop& loop,
             const Expected& expected = UnknownPairExpected,
             std::chrono::milliseconds phase = ServicePhase) {
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
  std::string Name, Server, Baseline, Goal;
  double Ratio;  // of the medians; the goal is judged on it
  bool Met;
  double BestRatio = 0;  // of the fastest rounds, less moved by other load on the machine
};

std::string Format(const char* pattern, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
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

int Main(const std::filesystem::path& program) {
  std::string pattern = (std::filesystem::temp_directory_path() / "varo-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  const std::filesystem::path home = pattern;
  struct Cleanup {
    std::filesystem::path Path;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(Path, ignored);
    }
  } cleanup{home};

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
  for (int attempt = 0; attempt < 100 && !ready; ++attempt) {
    ready = client.Exchange(inPort, UnknownPair(), 200ms).has_value();
  }
  if (!ready) throw std::runtime_error("the server did not answer within 20 s");

  std::vector<Row> rows;

  std::fprintf(stderr, "service path ...\n");
  Loop floor, service;
  for (int i = 0; i < 200; ++i) client.Exchange(echoPort, UnknownPair(), 1000ms);
  for (int round = 0; round < 2; ++round) {
    RunLoop(client, echoPort, floor);
    RunLoop(client, inPort, service);
  }
  const double serviceRatio = service.PerSecond() / floor.PerSecond();
  rows.push_back({"service path (unknown command pair)",
                  Format("%.0f req/s, p50 %.0f us, p99 %.0f us", service.PerSecond(),
                         Percentile(service.Micros, 0.5), Percentile(service.Micros, 0.99)),
                  Format("echo floor %.0f req/s, p50 %.0f us, p99 %.0f us", floor.PerSecond(),
                         Percentile(floor.Micros, 0.5), Percentile(floor.Micros, 0.99)),
                  ">= 0.5", serviceRatio, serviceRatio >= 0.5, 0});

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
    Loop loop, echoLoop;
    std::vector<double> ratios, echoRates;
    for (int round = 0; round < SmallRounds; ++round) {
      Loop echoRound, serverRound;
      RunLoop(client, echoPort, echoRound, UnknownPairExpected, SmallPhase);
      RunLoop(client, inPort, serverRound, expected, SmallPhase);
      ratios.push_back(serverRound.PerSecond() / echoRound.PerSecond());
      echoRates.push_back(echoRound.PerSecond());
      loop.Absorb(serverRound);
      echoLoop.Absorb(echoRound);
    }
    const double ratio = Median(ratios);
    rows.push_back(
        {std::string(expected.What) + " (folder of 2)",
         Format("%.0f req/s, p50 %.0f us, p99 %.0f us", loop.PerSecond(),
                Percentile(loop.Micros, 0.5), Percentile(loop.Micros, 0.99)),
         Format("echo floor alternating with it %.0f req/s, rounds %.0f to %.0f req/s",
                echoLoop.PerSecond(), *std::min_element(echoRates.begin(), echoRates.end()),
                *std::max_element(echoRates.begin(), echoRates.end())),
         ">= 0.6", ratio, ratio >= 0.6, *std::max_element(ratios.begin(), ratios.end())});
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
  rows.push_back({"ticket of a 4,782,969-column system", Times("%.3f", bigTicket),
                  "one-ticket system " + Times("%.3f", smallTicket), "<= 1.5", ticketRatio,
                  ticketRatio <= 1.5, BestRatio(bigTicket, smallTicket)});

  std::fprintf(stderr, "summaries ...\n");
  const Expected bigInfo{[] { return BuildInfoRequest(Game::Totocalcio, 1, Tag()); }, 23 + 61, 1,
                         "information request"};
  std::vector<double> keptInfo, infoPair;
  KeptRoundsRun(client, inPort, bigInfo, keptInfo, infoPair);
  const double keptInfoRatio = Median(keptInfo) / Median(infoPair);
  rows.push_back({"information on the unchanged 67 MB system (folder of 2)",
                  Times("%.0f", keptInfo, "us"), "unknown pair " + Times("%.0f", infoPair, "us"),
                  "<= 1.5", keptInfoRatio, keptInfoRatio <= 1.5, BestRatio(keptInfo, infoPair)});

  std::vector<double> info, readBig;
  for (int round = -1; round < FileRounds; ++round) {
    RenewChangeTimes({big});
    const double i = TimedExchange(client, inPort, bigInfo) / 1000.0;
    const double r = TimedRead({big}, bigBytes);
    if (round >= 0) info.push_back(i), readBig.push_back(r);
  }
  const double infoRatio = Median(info) / Median(readBig);
  rows.push_back({"information on the 67 MB system, changed before each round", Times("%.2f", info),
                  "read() in 64 KiB blocks " + Times("%.2f", readBig), "<= 2.0", infoRatio,
                  infoRatio <= 2.0, BestRatio(info, readBig)});

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
  rows.push_back({"list of 62 unchanged systems of 100,000 columns", Times("%.0f", keptList, "us"),
                  "unknown pair " + Times("%.0f", listPair, "us"), "<= 6.0", keptListRatio,
                  keptListRatio <= 6.0, BestRatio(keptList, listPair)});

  std::vector<double> list, readListed;
  for (int round = -1; round < FileRounds; ++round) {
    RenewChangeTimes(listed);
    const double l = TimedExchange(client, inPort, listOf62) / 1000.0;
    const double r = TimedRead(listed, listedBytes);
    if (round >= 0) list.push_back(l), readListed.push_back(r);
  }
  const double listRatio = Median(list) / Median(readListed);
  rows.push_back({"list of 62 systems of 100,000 columns, changed before each round",
                  Times("%.2f", list), "read() of the 62 files " + Times("%.2f", readListed),
                  "<= 2.5", listRatio, listRatio <= 2.5, BestRatio(list, readListed)});

  const long peak = server.PeakResidentKiB();

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
    std::printf("| %s | %s | %s | %.2f | %s | %s | %s |\n", r.Name.c_str(), r.Server.c_str(),
                r.Baseline.c_str(), r.Ratio, r.Goal.c_str(), r.Met ? "yes" : "NO", best.c_str());
  }
  std::printf(
      "\nServer peak resident memory (VmHWM) before the kept-summary count: %ld KiB (%.1f MiB); "
      "medians of %d rounds, for unchanged systems of %d rounds of %d requests and %d unknown "
      "pairs; server ended: %s\n",
      peak, peak / 1024.0, FileRounds, KeptRounds, KeptBlock, KeptBlock, ended.c_str());
  std::printf(
      "Kept summaries of %d systems (every list page of a folder of %d): server resident memory "
      "(VmRSS) %ld KiB before, %ld KiB after, %+ld KiB (memory the server had freed is used "
      "first; summary_bench gives the heap they take)\n",
      KeptSystems, KeptSystems, beforeKept, afterKept, afterKept - beforeKept);
  return std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.Met; }) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: service_bench SERVER_PROGRAM\n");
    return 64;
  }
  try {
    return Main(std::filesystem::absolute(argv[1]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "service_bench: %s\n", e.what());
    return 2;
  }
}
