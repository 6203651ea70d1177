// The request service measured against floors taken side by side in the same run:
//   service path  unknown command pairs to the real server   vs  a minimal UDP echo server
//   tickets       a ticket of a 4,782,969-column system        vs  a ticket of a one-ticket system
//   summaries     information on that 67 MB system             vs  read() of the file, 64 KiB
//   blocks lists         one list of 62 systems of 100,000 columns    vs  read() of those 62 files
// and the server's peak resident memory. Prints one Markdown table.
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
constexpr auto ServicePhase = 1500ms;                 // per round, two rounds each side
constexpr std::size_t ServiceMostRequests = 300'000;  // per round
constexpr auto ReplyTimeout = 10s;

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
};

// Closed loop for a bounded time and count; a lost reply ends the phase.
void RunLoop(ClosedLoopClient& client, std::uint16_t port, Loop& loop) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < ServiceMostRequests; ++i) {
    const auto took = client.Exchange(port, UnknownPair(), 1000ms);
    if (!took) throw std::runtime_error("a service-path request got no answer");
    loop.Micros.push_back(took->count());
    if (std::chrono::steady_clock::now() - start >= ServicePhase) break;
  }
  loop.Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Milliseconds of one exchange whose reply must be exactly replyLength bytes with status 1.
double TimedRequest(ClosedLoopClient& client, std::uint16_t port, const Datagram& request,
                    std::size_t replyLength, const char* what) {
  Datagram reply;
  const auto took = client.Exchange(port, request, ReplyTimeout, &reply);
  if (!took) throw std::runtime_error(std::string("no answer to the ") + what);
  if (reply.size() != replyLength || reply[23] != 0x00 || reply[24] != 0x01) {
    throw std::runtime_error(std::string("unexpected reply to the ") + what + " (" +
                             std::to_string(reply.size()) + " bytes)");
  }
  return took->count() / 1000.0;
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

// "median X ms, best Y ms" of a set of rounds.
std::string Times(const char* number, const std::vector<double>& ms) {
  const std::string pattern = std::string("median ") + number + " ms, best " + number + " ms";
  return Format(pattern.c_str(), Median(ms), *std::min_element(ms.begin(), ms.end()));
}

double BestRatio(const std::vector<double>& server, const std::vector<double>& baseline) {
  return *std::min_element(server.begin(), server.end()) /
         *std::min_element(baseline.begin(), baseline.end());
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
  std::vector<std::filesystem::path> listed;
  for (int i = 0; i < ListFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Lista%02d.gcl.%d", i, 100 + i);
    listed.push_back(server.TotogolFolder() / name);
    WriteSystemFile(listed.back(), ListColumns);
  }
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

  std::fprintf(stderr, "tickets ...\n");
  const std::uint32_t middleTicket = BigColumns / 64 / 2;
  std::vector<double> bigTicket, smallTicket;
  auto ticketOf = [&](std::int32_t code, std::uint32_t ticket) {
    return TimedRequest(client, inPort, BuildTicketRequest(Game::Totocalcio, code, ticket, Tag()),
                        23 + 9 + 64 * 7, "ticket request");
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
  std::vector<double> info, readBig;
  for (int round = -1; round < FileRounds; ++round) {
    const double i = TimedRequest(client, inPort, BuildInfoRequest(Game::Totocalcio, 1, Tag()),
                                  23 + 61, "information request");
    const double r = TimedRead({big}, bigBytes);
    if (round >= 0) info.push_back(i), readBig.push_back(r);
  }
  const double infoRatio = Median(info) / Median(readBig);
  rows.push_back({"information on the 67 MB system", Times("%.2f", info),
                  "read() in 64 KiB blocks " + Times("%.2f", readBig), "<= 2.0", infoRatio,
                  infoRatio <= 2.0, BestRatio(info, readBig)});

  std::fprintf(stderr, "lists ...\n");
  std::vector<double> list, readListed;
  for (int round = -1; round < FileRounds; ++round) {
    const double l = TimedRequest(client, inPort, BuildListRequest(Game::Totogol, 1, 62, Tag()),
                                  23 + 4 + 62 * 32, "list request");
    const double r = TimedRead(listed, listedBytes);
    if (round >= 0) list.push_back(l), readListed.push_back(r);
  }
  const double listRatio = Median(list) / Median(readListed);
  rows.push_back({"list of 62 systems of 100,000 columns", Times("%.2f", list),
                  "read() of the 62 files " + Times("%.2f", readListed), "<= 2.5", listRatio,
                  listRatio <= 2.5, BestRatio(list, readListed)});

  const long peak = server.PeakResidentKiB();
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
      "\nServer peak resident memory (VmHWM): %ld KiB (%.1f MiB); medians of %d rounds; "
      "server ended: %s\n",
      peak, peak / 1024.0, FileRounds, ended.c_str());
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
