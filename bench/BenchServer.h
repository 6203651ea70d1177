// The real server program started headless for a benchmark: a temporary home with its Documents,
// settings and runtime folders, an INI with the given ports, and a bounded stop.
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

  // Starts the program with no display, its log lines to /dev/null and its errors to a file.
  void Start();
  // Ends it with SIGTERM, or SIGKILL after five seconds; returns its exit status text.
  std::string Stop();
  bool Running() const { return pid_ > 0; }
  // What the program wrote to standard error so far, at most its first 2,000 bytes.
  std::string Errors() const;

  // The server's peak resident memory in KiB (VmHWM), or -1 when it cannot be read.
  long PeakResidentKiB() const;
  // The server's resident memory now in KiB (VmRSS), or -1 when it cannot be read.
  long ResidentKiB() const;

 private:
  std::filesystem::path program_;
  std::filesystem::path home_;
  std::uint16_t inPort_;
  std::uint16_t outPort_;
  long StatusKiB(const std::string& field) const;

  pid_t pid_ = -1;
};

}  // namespace varo::bench
