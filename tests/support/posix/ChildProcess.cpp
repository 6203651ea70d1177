#include "posix/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "SystemFiles.h"

extern char** environ;

namespace varo::test {

Environment EnvironmentWithout(std::initializer_list<const char*> names) {
  Environment env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    env[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const char* name : names) env.erase(name);
  return env;
}

Environment ProgramEnvironment(const std::filesystem::path& root) {
  // Nor the session bus, service manager or journal of whoever runs the tests.
  Environment env = EnvironmentWithout(
      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME",
       "XDG_STATE_HOME", "XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS", "NOTIFY_SOCKET",
       "JOURNAL_STREAM"});
  std::filesystem::create_directories(root / "home");
  std::filesystem::create_directories(root / "run");
  std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
  env["HOME"] = (root / "home").string();
  env["XDG_CONFIG_HOME"] = (root / "config").string();
  env["XDG_RUNTIME_DIR"] = (root / "run").string();
  // Qt and fontconfig keep memory until exit; leak checking stays with the GUI-free core.
  env["ASAN_OPTIONS"] = "detect_leaks=0";
  return env;
}

bool ReapWithin(pid_t child, int& status, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (::waitpid(child, &status, WNOHANG) == child) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ChildProcess::ChildProcess(const std::vector<std::string>& command, const Environment& env,
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
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + command.front() + ": " + std::strerror(failed));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    WaitEnded(10.0);
  }
}

bool ChildProcess::WaitEnded(double seconds) {
  if (!reaped_) reaped_ = ReapWithin(pid_, status_, seconds);
  return reaped_;
}

std::optional<int> ChildProcess::WaitExit(double seconds) {
  if (!WaitEnded(seconds) || !WIFEXITED(status_)) return std::nullopt;
  return WEXITSTATUS(status_);
}

std::optional<int> ChildProcess::WaitSignal(double seconds) {
  if (!WaitEnded(seconds) || !WIFSIGNALED(status_)) return std::nullopt;
  return WTERMSIG(status_);
}

void ChildProcess::Signal(int number) {
  if (pid_ > 0 && !reaped_) ::kill(pid_, number);
}

std::string ChildProcess::StandardOutput() const {
  return FileBytes(out_);
}

std::string ChildProcess::StandardError() const {
  return FileBytes(err_);
}

std::size_t ChildProcess::OutputLines() const {
  std::lock_guard lock(countMutex_);
  std::ifstream in(out_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(countedBytes_));
  char buffer[16384];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    const auto n = static_cast<std::size_t>(in.gcount());
    countedLines_ += static_cast<std::size_t>(std::count(buffer, buffer + n, '\n'));
    countedBytes_ += n;
  }
  return countedLines_;
}

bool ChildProcess::WaitForOutputLines(std::size_t n, double seconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (OutputLines() < n) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

long ChildProcess::ResidentKilobytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace varo::test
