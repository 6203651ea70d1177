// A program started by a test, with its own environment and its output captured in files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcesses.h"

namespace varo::test {

class ChildProcess {
 public:
  // Starts command (program path first, then its arguments) with exactly env as its environment;
  // standard output and error go to files in outputFolder, so the child never blocks on a pipe.
  ChildProcess(const std::vector<std::string>& command,
               const std::map<std::string, std::string>& env,
               const std::filesystem::path& outputFolder, const std::string& tag);
  // Kills the child by its id if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit code once the child ended within the time; nothing if it still runs or was killed.
  std::optional<int> WaitExit(double seconds);
  // Whether it ended (any way) within the time.
  bool WaitEnded(double seconds);
  void Signal(int number);
  std::string StandardOutput() const;
  std::string StandardError() const;

 private:
  bool Reap(double seconds);

  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path out_;
  std::filesystem::path err_;
};

}  // namespace varo::test
