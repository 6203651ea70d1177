// The real server program started headless for a benchmark: a temporary home with its Documents,
// settings and runtime folders, an INI with the given ports, and a bounded stop. A Windows build
// (a program ending in .exe) runs under Wine, in the prefix WINEPREFIX names, its Documents set to
// the same temporary folder.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace varo::bench {

class BenchServer {
 public:
  // Makes the folders below home and writes the settings file; nothing is started yet.
  BenchServer(std::filesystem::path program, std::filesystem::path home, std::uint16_t inPort,
              std::uint16_t outPort);
  ~BenchServer();
  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  // The archive's game folders below the temporary Documents.
  std::filesystem::path TotocalcioFolder() const;
  std::filesystem::path TotogolFolder() const;

  // Whether the program is a Windows build, run under Wine.
  bool UnderWine() const { return wine_; }

  // Under Wine: Wine's trace of every call between the system's libraries goes to standard error
  // from the next Start() on.
  void TraceCalls(bool on) { traceCalls_ = on; }

  // Starts the program with no display, its log lines to /dev/null and its errors to a file.
  void Start();
  // Ends it with SIGTERM, or SIGKILL after five seconds; returns its exit status text.
  std::string Stop();
  bool Running() const { return pid_ > 0; }
  // What the program wrote to standard error so far, at most its first 2,000 bytes.
  std::string Errors() const;
  // Its last 2,000 bytes.
  std::string ErrorsEnd() const;
  // The file standard error goes to.
  std::filesystem::path ErrorsFile() const { return home_ / "server.err"; }

  // The server's peak resident memory in KiB (VmHWM), or -1 when it cannot be read.
  long PeakResidentKiB() const;
  // The server's resident memory now in KiB (VmRSS), or -1 when it cannot be read.
  long ResidentKiB() const;

 private:
  std::filesystem::path program_;
  std::filesystem::path home_;
  std::uint16_t inPort_;
  std::uint16_t outPort_;
  bool wine_;
  bool traceCalls_ = false;
  long StatusKiB(const std::string& field) const;
  // Under Wine: makes the prefix's known folder Documents the temporary one.
  void PointDocumentsHere() const;

  pid_t pid_ = -1;
};

}  // namespace varo::bench
