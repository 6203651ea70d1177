// Summarising a large Totocalcio system against plainly reading the same file.
//
// Writes a file of 3^14 columns to a temporary folder, then times, warm, several rounds of
// (a) read() in 64 KiB blocks and (b) GetInfoTotocalcio, and prints the best processor time of
// each and their ratio. The goal is a summary that costs at most twice the raw read. Then prints
// the heap that the kept summaries of 10,000 systems take, and the heap of a kept listing of a
// folder of 10,000 systems.

#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/ColumnSums.h"
#include "archive/SummaryCache.h"
#include "archive/SystemArchive.h"
#include "archive/SystemSummary.h"

namespace {

constexpr std::uint32_t ColumnCount = 4'782'969;  // 3^14
constexpr int Rounds = 15;
constexpr int KeptSystems = 10'000;

// Column i chooses, match by match, one, two or three signs by the base-3 digits of i; every
// other column is flagged. So the main combinations add up to 6^14.
void WriteSystemFile(const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  static constexpr std::uint8_t Signs[3] = {0x01, 0x03, 0x07};
  std::vector<char> chunk;
  chunk.reserve(14 * 65536);
  for (std::uint32_t i = 0; i < ColumnCount; ++i) {
    std::uint32_t digits = i;
    for (int k = 0; k < 14; ++k, digits /= 3) {
      std::uint8_t byte = Signs[digits % 3];
      if (k == 8 && (i & 1u) != 0) byte |= 0x80;
      chunk.push_back(static_cast<char>(byte));
    }
    if (chunk.size() >= 14 * 65536) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::uint64_t RawRead(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  static std::uint8_t block[64 * 1024];
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0) {
      close(fd);
      throw std::runtime_error("cannot read " + path);
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got) + block[0];
  }
  close(fd);
  return total;
}

// Elapsed time: a large summary counts its two halves on two threads at once, so the time the
// caller waits is what counts, not the processor time of one thread.
double NowSeconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Action>
double Seconds(Action action) {
  const double start = NowSeconds();
  action();
  return NowSeconds() - start;
}

// Heap bytes in use by the kept summaries of KeptSystems one-column systems written below folder.
std::size_t KeptSummariesHeap(const std::filesystem::path& folder) {
  std::vector<std::string> paths;
  for (int i = 0; i < KeptSystems; ++i) {
    paths.push_back(
        (folder / ("Tenuto" + std::to_string(i) + ".tcl." + std::to_string(i))).string());
    std::ofstream(paths.back(), std::ios::binary) << std::string(14, '\x01');
  }
  // The clock runs an hour ahead, so every file counts as settled and is kept.
  varo::SummaryCache kept(varo::MaxKeptSummaries, {.FileClock = [] {
                            varo::FileTime now = varo::FileClockNow();
                            now.Seconds += 3600;
                            return now;
                          }});
  varo::SystemSummary summary{};
  const std::size_t before = mallinfo2().uordblks;
  for (const std::string& path : paths) varo::GetInfoTotocalcio(path, summary, kept);
  const std::size_t after = mallinfo2().uordblks;
  if (kept.Size() != static_cast<std::size_t>(KeptSystems)) {
    throw std::runtime_error("not every summary was kept");
  }
  return after - before;
}

// Heap bytes held by a kept listing of a Totogol folder of KeptSystems systems below folder.
std::size_t KeptListingHeap(const std::filesystem::path& folder) {
  const std::filesystem::path totocalcio = folder / "Totocalcio", totogol = folder / "Totogol";
  std::filesystem::create_directories(totocalcio);
  std::filesystem::create_directories(totogol);
  for (int i = 0; i < KeptSystems; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "Sistema%05d.gcl.%d", i, 10'000 + i);
    std::ofstream(totogol / name, std::ios::binary) << std::string(14, '\x01');
  }
  varo::SystemArchive archive({totocalcio.string(), totogol.string(), folder.string()});
  const std::size_t before = mallinfo2().uordblks;
  const std::size_t listed = archive.List(varo::GameTotogol).Names.size();
  const std::size_t after = mallinfo2().uordblks;
  archive.List(varo::GameTotogol);
  if (listed != static_cast<std::size_t>(KeptSystems) || archive.FolderReadings() != 1) {
    throw std::runtime_error("the listing of the folder was not kept");
  }
  return after - before;
}

}  // namespace

int main() {
  // A tmpfs, where summaries are kept whatever volume holds the temporary folder.
  std::string pattern = "/dev/shm/varo-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path folder = pattern;
  const std::string path = (folder / "Bench.tcl.1").string();
  int status = 0;
  try {
    WriteSystemFile(path);
    std::printf("file: %ju bytes, %u columns\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)), ColumnCount);

    volatile std::uint64_t sink = RawRead(path);  // warm the page cache
    varo::SystemSummary summary{};
    varo::GetInfoTotocalcio(path, summary);

    // Rounds alternate, so that both measurements meet the same load of a shared machine.
    double raw = 1e9;
    double summarise = 1e9;
    for (int round = 0; round < Rounds; ++round) {
      raw = std::min(raw, Seconds([&] { sink = sink + RawRead(path); }));
      summarise = std::min(summarise, Seconds([&] { varo::GetInfoTotocalcio(path, summary); }));
    }
    const std::int32_t main = summary.MainCombinations;
    const std::uint16_t tickets = summary.Tickets;
    std::printf("main combinations %d (6^14 mod 2^32 is 1054752768), tickets field %u\n", main,
                tickets);
    std::printf("inner loop: %s\n",
                varo::HasVectorColumnSums() ? "16-byte shuffle per record" : "portable tables");
    std::printf("raw read  best of %d: %.2f ms\n", Rounds, raw * 1e3);
    std::printf("summary   best of %d: %.2f ms\n", Rounds, summarise * 1e3);
    std::printf("ratio summary / raw read: %.2f (goal 2.0 or less)\n", summarise / raw);

    const std::size_t heap = KeptSummariesHeap(folder);
    std::printf("kept summaries of %d systems: %zu bytes of heap, %zu per system\n", KeptSystems,
                heap, heap / KeptSystems);
    const std::size_t listing = KeptListingHeap(folder / "archive");
    std::printf("kept listing of a folder of %d systems: %zu bytes of heap, %zu per name\n",
                KeptSystems, listing, listing / KeptSystems);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  std::filesystem::remove_all(folder);
  return status;
}
