// A program started by a test as a child process, with its own environment; standard input reads
// /dev/null, standard output and error go to files, so the child never blocks on a pipe.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varo::test {

using Environment = std::map<std::string, std::string>;

// The environment of the test process with these names removed.
Environment EnvironmentWithout(std::initializer_list<const char*> names);

// An environment for the server program with folders of its own below root: HOME is root/home
// and XDG_RUNTIME_DIR root/run (both created, the latter private), XDG_CONFIG_HOME root/config
// (left to the test or the program), the event log below HOME; no display, no Documents
// override, no session bus, service manager or journal.
Environment ProgramEnvironment(const std::filesystem::path& root);

// Waits at most the given seconds for the child to end; true, with its wait status, if it did.
bool ReapWithin(pid_t child, int& status, double seconds);

class ChildProcess {
 public:
  // Starts command (program path first, then its arguments) with exactly env as its environment;
  // standard output and error go to tag.out and tag.err in outputFolder.
  ChildProcess(const std::vector<std::string>& command, const Environment& env,
               const std::filesystem::path& outputFolder, const std::string& tag);
  // Kills the child by its own id if it still runs, and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit code once the child ended normally within the time; nothing if it still runs or was
  // ended by a signal.
  std::optional<int> WaitExit(double seconds);
  // The number of the signal that ended the child within the time; nothing if it still runs or
  // exited.
  std::optional<int> WaitSignal(double seconds);
  // Whether it has ended (any way) within the time; 0 seconds asks once.
  bool WaitEnded(double seconds);
  void Signal(int number);

  std::string StandardOutput() const;
  std::string StandardError() const;
  // Lines written to standard output so far, and a wait until at least n have come.
  std::size_t OutputLines() const;
  bool WaitForOutputLines(std::size_t n, double seconds) const;

  // Resident memory of the running child in kB (VmRSS), or -1 when it cannot be read.
  long ResidentKilobytes() const;

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path out_;
  std::filesystem::path err_;
  // Lines counted in standard output up to an offset, so each count reads only what is new.
  mutable std::mutex countMutex_;
  mutable std::size_t countedBytes_ = 0;
  mutable std::size_t countedLines_ = 0;
};

}  // namespace varo::test
