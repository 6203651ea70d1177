#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ShellTestSupport.h"

namespace varo::test {

ChildProcess::ChildProcess(const std::vector<std::string>& command,
                           const std::map<std::string, std::string>& env,
                           const std::filesystem::path& outputFolder, const std::string& tag)
    : out_(outputFolder / (tag + ".out")), err_(outputFolder / (tag + ".err")) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> arguments = command;
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int result = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) throw std::runtime_error("cannot start " + command.front());
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
}

bool ChildProcess::Reap(double seconds) {
  if (!reaped_) reaped_ = ReapWithin(pid_, status_, seconds);
  return reaped_;
}

std::optional<int> ChildProcess::WaitExit(double seconds) {
  if (!Reap(seconds) || !WIFEXITED(status_)) return std::nullopt;
  return WEXITSTATUS(status_);
}

bool ChildProcess::WaitEnded(double seconds) {
  return Reap(seconds);
}

void ChildProcess::Signal(int number) {
  if (!reaped_) ::kill(pid_, number);
}

std::string ChildProcess::StandardOutput() const {
  return FileBytes(out_);
}
std::string ChildProcess::StandardError() const {
  return FileBytes(err_);
}

}  // namespace varo::test
