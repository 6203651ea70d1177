// What every request and every event pay for the user's own files: finding the Documents folder
// afresh while user-dirs.dirs is unchanged, and appending one event to the event log (its passing
// on to the older generation past 1 MiB included).
//
// Works in a temporary folder of its own, with HOME and XDG_CONFIG_HOME pointing into it, and
// prints the mean time of each, best of a few rounds.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/DocumentsLocator.h"
#include "records/EventLog.h"

namespace {

constexpr int Rounds = 5;
constexpr int Lookups = 1'000'000;
constexpr int Events = 20'000;

// The best mean, in microseconds, of calling step count times in each round.
template <typename Step>
double BestMeanMicroseconds(int count, Step step) {
  double best = 1e300;
  for (int round = 0; round < Rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) step(i);
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    best = std::min(best, spent.count() / count);
  }
  return best;
}

}  // namespace

int main() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "varo-user-files-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path folder = pattern;
  const std::filesystem::path config = folder / "config";
  std::filesystem::create_directories(config);
  std::ofstream(config / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Documenti\"\n";
  setenv("HOME", (folder / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  varo::DocumentsLocator documents;
  std::size_t seen = 0;  // kept, so the calls are not optimised away
  const double lookup =
      BestMeanMicroseconds(Lookups, [&](int) { seen += documents.Current().size(); });
  if (seen == 0) return 1;
  std::printf("Documents lookup, user-dirs.dirs unchanged: %.2f us a request (%d calls, %s)\n",
              lookup, Lookups, documents.Current().c_str());

  varo::EventLog log((folder / "state").string());
  const std::string event =
      "2026-12-08 10:15:02 deleted at the request of 192.168.1.20 port 7001: "
      "/home/negozio/Documenti/Quillmarch/Quillmarch Varo Server/Totocalcio/sistema.tcl.7";
  const double write = BestMeanMicroseconds(Events, [&](int) { log.Write(event); });
  std::printf("event log, one event appended: %.2f us (%d events a round, %zu-byte line)\n", write,
              Events, event.size());

  std::filesystem::remove_all(folder);
  return 0;
}
