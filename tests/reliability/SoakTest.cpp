// The optimised program under closed-loop load from four loopback clients while another program
// keeps changing unrelated files in both game folders: every answer arrives in time, byte for byte,
// and the server's memory does not grow.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "ProgramFiles.h"
#include "RequestBuilder.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr std::size_t TotalRequests = 50000;
constexpr std::size_t WarmUpRequests = 5500;
constexpr std::size_t MemoryBaselineAfter = 5000;
constexpr std::size_t MemoryMidwayAfter = 25000;
constexpr long MemoryGrowthLimitKb = 2 * 1024;
constexpr int WriterFilesPerFolder = 8;
constexpr auto ReplyBound = std::chrono::seconds(2);

// 2007-03-15, as the date fields carry it.
const Bytes Date = {0x07, 0xD7, 0x03, 0x0F};
// A column of fourteen single-sign bytes (0x01) packed for a ticket: no side flag, sign 1 in all
// fourteen matches, no other sign.
const Bytes PackedTotocalcio = {0x00, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00};
const Bytes PackedTotogol = {0x00, 0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

struct Probe {
  Bytes Request;
  Bytes Expected;
  int LogLines;
  bool CountByte;  // a list reply: payload byte 3 counts every file and varies with the writer
  int CountMin = 0;
  int CountMax = 0;
};

// The fixed archive. Every column is fourteen 0x01 bytes, so a system of N columns has N main
// combinations, no side combination and costs 50 N; its tickets are N / 64 rounded up.
//   Totocalcio a.tcl.1: 3 columns, cost 150;  b.tcl.2: 64, cost 3200;  c.tcl.3: 65, cost 3250
//   Totogol    a.gcl.1: 2 columns, cost 100;  b.gcl.2: 70, cost 3500
void WriteFixedArchive(const std::filesystem::path& home) {
  const auto calcio = TotocalcioFolderIn(home);
  const auto gol = TotogolFolderIn(home);
  const std::pair<std::filesystem::path, std::size_t> files[] = {
      {calcio / "a.tcl.1", 3}, {calcio / "b.tcl.2", 64}, {calcio / "c.tcl.3", 65},
      {gol / "a.gcl.1", 2},    {gol / "b.gcl.2", 70},
  };
  for (const auto& [path, columns] : files) {
    WriteBytes(path, Columns(columns, 0x01));
    SetModifiedDate(path, 2007, 3, 15);
  }
}

Bytes ListEntry(const Bytes& code, const std::string& name, const Bytes& cost) {
  return Concat({code, NameField(name), Date, cost});
}

std::vector<Probe> MakeProbes(std::uint8_t tag, std::uint32_t sequence) {
  std::vector<Probe> probes;
  const auto add = [&](std::uint16_t command, std::uint8_t sub, const Bytes& payload,
                       std::uint16_t dataLength, std::uint16_t extraLength,
                       const Bytes& replyPayload, int lines) {
    Probe probe;
    probe.Request = Request(command, sub, payload, tag, sequence);
    probe.Expected = Concat({ReplyHeaderFor(probe.Request, dataLength, extraLength), replyPayload});
    probe.LogLines = lines;
    probe.CountByte = false;
    probes.push_back(probe);
  };
  const Bytes code1 = {0, 0, 0, 1}, code2 = {0, 0, 0, 2}, code3 = {0, 0, 0, 3};

  // Totocalcio positions 1 to 3: 3 entries, 4 + 96 = 100 bytes.
  add(510, 1, {1, 0, 1, 0, 3}, 100, 0,
      Concat({{0x00, 0x01, 0x01, 0x00},
              ListEntry(code1, "a.tcl.1", {0, 0, 0x00, 0x96}),
              ListEntry(code2, "b.tcl.2", {0, 0, 0x0C, 0x80}),
              ListEntry(code3, "c.tcl.3", {0, 0, 0x0C, 0xB2})}),
      2);
  probes.back().CountByte = true;
  probes.back().CountMin = 3;
  probes.back().CountMax = 3 + WriterFilesPerFolder;
  // Totogol positions 1 to 2: 2 entries, 68 bytes.
  add(510, 1, {2, 0, 1, 0, 2}, 68, 0,
      Concat({{0x00, 0x01, 0x02, 0x00},
              ListEntry(code1, "a.gcl.1", {0, 0, 0x00, 0x64}),
              ListEntry(code2, "b.gcl.2", {0, 0, 0x0D, 0xAC})}),
      2);
  probes.back().CountByte = true;
  probes.back().CountMin = 2;
  probes.back().CountMax = 2 + WriterFilesPerFolder;

  add(520, 1, code1, 61, 0,
      SummaryWithoutSide(code1, "a.tcl.1", Date, {0, 1}, {0, 0, 0, 3}, {0, 0, 0x00, 0x96}), 2);
  add(520, 1, code3, 61, 0,
      SummaryWithoutSide(code3, "c.tcl.3", Date, {0, 2}, {0, 0, 0, 0x41}, {0, 0, 0x0C, 0xB2}), 2);
  add(530, 3, code2, 61, 0,
      SummaryWithoutSide(code2, "b.gcl.2", Date, {0, 2}, {0, 0, 0, 0x46}, {0, 0, 0x0D, 0xAC}), 2);
  // Code 99 is nobody's: status 870 and 59 zero bytes, one log line.
  {
    Bytes notFound(61, 0);
    notFound[0] = 0x03;
    notFound[1] = 0x66;
    add(520, 1, {0, 0, 0, 99}, 61, 0, notFound, 1);
  }
  // Ticket 1 of c.tcl.3: 64 columns, 9 + 448 = 457 (01 C9) bytes.
  add(520, 2, {0, 0, 0, 3, 0, 1}, 457, 0,
      Concat({{0x00, 0x01}, code3, {0x00, 0x01, 64}, Repeat(PackedTotocalcio, 64)}), 2);
  // Ticket 2 of c.tcl.3: its 65th column alone, 16 bytes.
  add(520, 2, {0, 0, 0, 3, 0, 2}, 16, 0,
      Concat({{0x00, 0x01}, code3, {0x00, 0x02, 1}, PackedTotocalcio}), 2);
  // Ticket 3 of c.tcl.3 does not exist: 870 with code and number, no column.
  add(520, 2, {0, 0, 0, 3, 0, 3}, 9, 0, Concat({{0x03, 0x66}, code3, {0x00, 0x03, 0}}), 2);
  // Ticket 2 of b.gcl.2: columns 65 to 70, 9 + 54 = 63 bytes.
  add(530, 4, {0, 0, 0, 2, 0, 2}, 63, 0,
      Concat({{0x00, 0x01}, code2, {0x00, 0x02, 6}, Repeat(PackedTotogol, 6)}), 2);
  // Ticket 1 of a.gcl.1: 2 columns, 27 bytes.
  add(530, 4, {0, 0, 0, 1, 0, 1}, 27, 0,
      Concat({{0x00, 0x01}, code1, {0x00, 0x01, 2}, Repeat(PackedTotogol, 2)}), 2);
  // No handler for (530, 1): the header comes back with five zero bytes, nothing is logged.
  add(530, 1, {1, 2, 3, 4, 5}, 5, 0, Bytes(5, 0), 0);
  return probes;
}

bool Matches(const Probe& probe, const Bytes& reply, std::string& why) {
  if (reply.size() != probe.Expected.size()) {
    why = "length " + std::to_string(reply.size()) + " instead of " +
          std::to_string(probe.Expected.size());
    return false;
  }
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (probe.CountByte && i == 23 + 3) {
      if (reply[i] < probe.CountMin || reply[i] > probe.CountMax) {
        why = "file count " + std::to_string(reply[i]) + " out of bounds";
        return false;
      }
      continue;
    }
    if (reply[i] != probe.Expected[i]) {
      why = "byte " + std::to_string(i) + " differs";
      return false;
    }
  }
  return true;
}

// Adds, rewrites and deletes files named to sort after the checked ones, with codes nobody asks.
void WriteUnrelatedFiles(const std::filesystem::path& calcio, const std::filesystem::path& gol,
                         const std::atomic<bool>& stop, std::atomic<std::size_t>& operations) {
  std::mt19937 random(12345);
  while (!stop.load()) {
    const bool totocalcio = random() % 2 == 0;
    const int k = static_cast<int>(random() % WriterFilesPerFolder);
    const std::string name = "zz-writer-" + std::to_string(k) + (totocalcio ? ".tcl." : ".gcl.") +
                             std::to_string(100000 + k);
    const auto path = (totocalcio ? calcio : gol) / name;
    std::error_code error;
    if (!std::filesystem::exists(path, error) || random() % 2 == 0) {
      std::string bytes(14 * (1 + random() % 200), '\0');
      for (char& byte : bytes) byte = static_cast<char>(random());
      WriteBytes(path, bytes);
    } else {
      std::filesystem::remove(path, error);
    }
    ++operations;
    std::this_thread::sleep_for(milliseconds(1));
  }
}

struct ClientResult {
  std::size_t Sent = 0;
  std::size_t Answered = 0;
  std::size_t Lost = 0;
  std::size_t Wrong = 0;
  std::size_t LogLines = 0;
  double SlowestMs = 0;
  std::string FirstFault;
};

TEST(Soak, FourLoopbackClientsGetEveryAnswerRightAndMemoryStaysFlat) {
  const char* program = std::getenv("VARO_RELEASE_SERVER");
  if (program == nullptr || *program == '\0') {
    GTEST_SKIP() << "VARO_RELEASE_SERVER is not set: it names the optimised "
                    "quillmarch-varo-server this load test drives";
  }
  TempDir root;
  const Environment env = ProgramEnvironment(root.Path());
  const auto home = root.Path() / "home";
  WriteFixedArchive(home);

  // Each client receives its replies at its own loopback address, all on one output port.
  std::vector<std::unique_ptr<UdpPeer>> clients;
  for (int attempt = 0; attempt < 20 && clients.size() < 4; ++attempt) {
    clients.clear();
    try {
      clients.push_back(std::make_unique<UdpPeer>(0, "127.0.0.2"));
      const std::uint16_t outPort = clients[0]->Port();
      for (const char* address : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        clients.push_back(std::make_unique<UdpPeer>(outPort, address));
      }
    } catch (const std::exception&) {
      clients.clear();
    }
  }
  ASSERT_EQ(clients.size(), 4u) << "no output port free on 127.0.0.2 to 127.0.0.5";
  const std::uint16_t outPort = clients[0]->Port();
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(root.Path() / "config", inPort, outPort);

  ChildProcess server({program}, env, root.Path(), "server");
  {
    const Bytes ready = Request(530, 1, {});
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
      clients[0]->SendTo(inPort, ready);
      up = clients[0]->Receive(milliseconds(100)).has_value();
    }
    ASSERT_TRUE(up) << server.StandardError();
    // Answers to the repeated start-up probes must not be taken for load answers.
    while (clients[0]->Receive(milliseconds(300))) {
    }
  }

  // Fill the window's log (its latest 10,000 lines) first: until it is full the log's growth is
  // by design and would hide a leak or pass for one.
  std::size_t warmUpLines = 0;
  for (std::size_t i = 0; i < WarmUpRequests; ++i) {
    const Probe probe = MakeProbes(0x01, static_cast<std::uint32_t>(i)).front();  // a full list
    clients[0]->SendTo(inPort, probe.Request);
    const auto reply = clients[0]->Receive(ReplyBound);
    std::string why;
    ASSERT_TRUE(reply.has_value()) << "warm-up request " << i;
    ASSERT_TRUE(Matches(probe, *reply, why)) << "warm-up request " << i << ": " << why;
    warmUpLines += static_cast<std::size_t>(probe.LogLines);
  }
  ASSERT_GE(warmUpLines, 10000u);

  std::atomic<bool> stopWriter{false};
  std::atomic<std::size_t> writerOperations{0};
  std::thread writer(WriteUnrelatedFiles, TotocalcioFolderIn(home), TotogolFolderIn(home),
                     std::cref(stopWriter), std::ref(writerOperations));

  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> finished{0};
  std::atomic<long> baselineKb{-1};
  std::atomic<long> midwayKb{-1};
  std::mutex samplesMutex;
  std::ostringstream samples;  // VmRSS in kB every 5,000 requests
  std::vector<ClientResult> results(4);
  const auto started = steady_clock::now();
  std::vector<std::thread> threads;
  for (std::size_t c = 0; c < 4; ++c) {
    threads.emplace_back([&, c] {
      ClientResult& result = results[c];
      for (;;) {
        const std::size_t index = next.fetch_add(1);
        if (index >= TotalRequests) break;
        const auto probes =
            MakeProbes(static_cast<std::uint8_t>(c + 1), static_cast<std::uint32_t>(index));
        const Probe& probe = probes[index % probes.size()];
        clients[c]->SendTo(inPort, probe.Request);
        ++result.Sent;
        const auto sent = steady_clock::now();
        const auto reply = clients[c]->Receive(ReplyBound);
        const double ms =
            std::chrono::duration<double, std::milli>(steady_clock::now() - sent).count();
        result.SlowestMs = std::max(result.SlowestMs, ms);
        std::string why;
        if (!reply) {
          ++result.Lost;
          if (result.FirstFault.empty())
            result.FirstFault = "request " + std::to_string(index) + " got no answer within 2 s";
        } else if (!Matches(probe, *reply, why)) {
          ++result.Wrong;
          if (result.FirstFault.empty())
            result.FirstFault = "request " + std::to_string(index) + ": " + why;
        } else {
          ++result.Answered;
          result.LogLines += static_cast<std::size_t>(probe.LogLines);
        }
        const std::size_t done = finished.fetch_add(1) + 1;
        if (done == MemoryBaselineAfter) baselineKb = server.ResidentKilobytes();
        if (done == MemoryMidwayAfter) midwayKb = server.ResidentKilobytes();
        if (done % 5000 == 0) {
          std::lock_guard lock(samplesMutex);
          samples << " " << server.ResidentKilobytes();
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const double seconds = std::chrono::duration<double>(steady_clock::now() - started).count();
  stopWriter = true;
  writer.join();
  const long finalKb = server.ResidentKilobytes();

  std::size_t sent = 0, answered = 0, lost = 0, wrong = 0, lines = 0;
  double slowest = 0;
  for (const ClientResult& result : results) {
    sent += result.Sent;
    answered += result.Answered;
    lost += result.Lost;
    wrong += result.Wrong;
    lines += result.LogLines;
    slowest = std::max(slowest, result.SlowestMs);
    EXPECT_EQ(result.FirstFault, "");
  }
  std::ostringstream figures;
  figures << sent << " requests in " << seconds << " s (" << static_cast<long>(sent / seconds)
          << "/s), slowest answer " << slowest << " ms, " << writerOperations.load()
          << " writer operations, VmRSS " << baselineKb.load() << " kB after "
          << MemoryBaselineAfter << " requests, " << midwayKb.load() << " kB after "
          << MemoryMidwayAfter << " and " << finalKb
          << " kB at the end; every 5,000:" << samples.str();
  RecordProperty("figures", figures.str());
  std::printf("%s\n", figures.str().c_str());

  EXPECT_EQ(sent, TotalRequests);
  EXPECT_EQ(answered, TotalRequests);
  EXPECT_EQ(lost, 0u);
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(writerOperations.load(), 100u) << "the writer hardly ran";
  ASSERT_GT(baselineKb.load(), 0);
  ASSERT_GT(finalKb, 0) << "the server is gone";
  EXPECT_LE(finalKb - baselineKb.load(), MemoryGrowthLimitKb);
  EXPECT_LE(finalKb - midwayKb.load(), MemoryGrowthLimitKb);

  // Every answered request logged its lines on standard output, which was drained all along.
  lines += warmUpLines;
  EXPECT_TRUE(server.WaitForOutputLines(lines, 5.0))
      << server.OutputLines() << " lines instead of " << lines;
  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(5.0), 0) << server.StandardError();
  EXPECT_EQ(server.OutputLines(), lines);
}

}  // namespace
}  // namespace varo::test
