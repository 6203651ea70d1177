#include "ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace varo::test {

namespace {

constexpr std::size_t TailLimit = 64 * 1024;

std::filesystem::path ArchiveBase(const std::filesystem::path& home) {
  return home / "Documents" / "Quillmarch" / "Quillmarch Varo Server";
}

}  // namespace

Environment HeadlessEnvironment(const std::filesystem::path& root) {
  Environment env = EnvironmentWithout(
      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME"});
  std::filesystem::create_directories(root / "home");
  std::filesystem::create_directories(root / "config");
  std::filesystem::create_directories(root / "run");
  ::chmod((root / "run").c_str(), 0700);
  env["HOME"] = (root / "home").string();
  env["XDG_CONFIG_HOME"] = (root / "config").string();
  env["XDG_RUNTIME_DIR"] = (root / "run").string();
  // Qt and fontconfig keep memory until exit; leak checking stays with the GUI-free core.
  env["ASAN_OPTIONS"] = "detect_leaks=0";
  return env;
}

std::filesystem::path SettingsFileIn(const std::filesystem::path& configHome) {
  return configHome / "Quillmarch" / "Quillmarch Varo Server" / "QuillmarchvaroServer.ini";
}

void WriteSettings(const std::filesystem::path& configHome, int inPort, int outPort) {
  const auto file = SettingsFileIn(configHome);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "[Comunicazione]\nInPort=" << inPort << "\nOutPort=" << outPort << "\n";
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::filesystem::path TotocalcioFolderIn(const std::filesystem::path& home) {
  const auto folder = ArchiveBase(home) / "Totocalcio";
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path TotogolFolderIn(const std::filesystem::path& home) {
  const auto folder = ArchiveBase(home) / "Totogol";
  std::filesystem::create_directories(folder);
  return folder;
}

ServerProcess::ServerProcess(const std::string& program, const Environment& env,
                             const std::filesystem::path& standardErrorFile)
    : errFile_(standardErrorFile) {
  int out[2];
  // Close-on-exec, so no other child started meanwhile keeps this pipe open past our child's end.
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

  std::vector<std::string> envText;
  for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string programCopy = program;
  char* argv[] = {programCopy.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  const int failed = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (failed != 0) {
    ::close(out[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(failed));
  }
  drainer_ = std::thread([this, fd = out[0]] { Drain(fd); });
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    WaitEnded(10.0);
  }
  if (drainer_.joinable()) drainer_.join();
}

void ServerProcess::Drain(int fd) {
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::size_t newLines = 0;
    for (ssize_t i = 0; i < n; ++i) newLines += buffer[i] == '\n';
    {
      std::lock_guard lock(tailMutex_);
      tail_.append(buffer, static_cast<std::size_t>(n));
      if (tail_.size() > TailLimit) tail_.erase(0, tail_.size() - TailLimit);
    }
    lines_ += newLines;
  }
  ::close(fd);
}

void ServerProcess::Signal(int number) const {
  if (pid_ > 0 && !reaped_) ::kill(pid_, number);
}

bool ServerProcess::WaitEnded(double seconds) {
  if (!reaped_) reaped_ = ReapWithin(pid_, status_, seconds);
  return reaped_;
}

std::optional<int> ServerProcess::WaitExit(double seconds) {
  if (!WaitEnded(seconds) || !WIFEXITED(status_)) return std::nullopt;
  return WEXITSTATUS(status_);
}

long ServerProcess::ResidentKilobytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool ServerProcess::WaitForOutputLines(std::size_t n, double seconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (lines_.load() < n) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ServerProcess::OutputTail() const {
  std::lock_guard lock(tailMutex_);
  return tail_;
}

std::string ServerProcess::StandardError() const {
  std::ifstream in(errFile_, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace varo::test
