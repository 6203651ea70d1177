// The real server program as a child process: its own environment, standard output drained by a
// thread as it comes (so the child never blocks on a full pipe), standard error in a file.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ChildProcesses.h"

namespace varo::test {

using Environment = std::map<std::string, std::string>;

// An environment for a headless server below root: HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR
// inside it (created), no display, no Documents override.
Environment HeadlessEnvironment(const std::filesystem::path& root);

// The program's settings file for a config folder, and one written with both ports.
std::filesystem::path SettingsFileIn(const std::filesystem::path& configHome);
void WriteSettings(const std::filesystem::path& configHome, int inPort, int outPort);

// The two game folders below a home folder (created).
std::filesystem::path TotocalcioFolderIn(const std::filesystem::path& home);
std::filesystem::path TotogolFolderIn(const std::filesystem::path& home);

class ServerProcess {
 public:
  ServerProcess(const std::string& program, const Environment& env,
                const std::filesystem::path& standardErrorFile);
  // Kills the child by its own id if it still runs, and reaps it.
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int number) const;
  // The exit code when the child ended normally within the time; nothing otherwise.
  std::optional<int> WaitExit(double seconds);
  // Whether it has ended (any way) within the time.
  bool WaitEnded(double seconds);

  // Resident memory of the running child in kB (VmRSS), or -1 when it cannot be read.
  long ResidentKilobytes() const;

  // Lines read from standard output so far, and a wait until at least n have come.
  std::size_t OutputLines() const { return lines_.load(); }
  bool WaitForOutputLines(std::size_t n, double seconds) const;
  // The last bytes of standard output (at most 64 KiB).
  std::string OutputTail() const;
  std::string StandardError() const;

 private:
  void Drain(int fd);

  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path errFile_;
  std::atomic<std::size_t> lines_{0};
  mutable std::mutex tailMutex_;
  std::string tail_;
  std::thread drainer_;
};

}  // namespace varo::test
