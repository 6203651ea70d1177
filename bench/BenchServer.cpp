#include "BenchServer.h"

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
#include <vector>

extern char** environ;

namespace varo::bench {

namespace {

const char* const ArchiveBelowDocuments = "Documents/Quillmarch/Quillmarch Varo Server";
const char* const SettingsBelowConfig = "config/Quillmarch/Quillmarch Varo Server";

// Starts a program found on PATH with the environment given, its standard streams on /dev/null
// except standard error when errors names a file; its process id.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& errors = "") {
  std::vector<char*> argv;
  std::vector<std::string> argsCopy = args;
  for (auto& a : argsCopy) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envCopy = env;
  std::vector<char*> envp;
  for (auto& e : envCopy) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, errors.empty() ? "/dev/null" : errors.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) {
    throw std::runtime_error("cannot start " + args[0] + ": " + strerror(spawned));
  }
  return pid;
}

// The environment of this process without the variables named.
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& names,
                                            bool withoutXdg) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (std::find(names.begin(), names.end(), name) != names.end() ||
        (withoutXdg && name.rfind("XDG_", 0) == 0)) {
      continue;
    }
    env.push_back(entry);
  }
  return env;
}

// What Wine's programs run with: no display, and Wine's own messages only when asked for.
std::vector<std::string> WineEnvironment(const std::string& debug) {
  std::vector<std::string> env =
      EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "WINEDEBUG"}, false);
  env.push_back("WINEDEBUG=" + debug);
  return env;
}

}  // namespace

BenchServer::BenchServer(std::filesystem::path program, std::filesystem::path home,
                         std::uint16_t inPort, std::uint16_t outPort)
    : program_(std::move(program)),
      home_(std::move(home)),
      inPort_(inPort),
      outPort_(outPort),
      wine_(program_.extension() == ".exe") {
  std::filesystem::create_directories(TotocalcioFolder());
  std::filesystem::create_directories(TotogolFolder());
  std::filesystem::create_directories(home_ / SettingsBelowConfig);
  std::filesystem::create_directories(home_ / "runtime");
  std::filesystem::permissions(home_ / "runtime", std::filesystem::perms::owner_all);
  std::ofstream ini(home_ / SettingsBelowConfig / "QuillmarchvaroServer.ini");
  ini << "[Comunicazione]\nInPort=" << inPort_ << "\nOutPort=" << outPort_ << "\n";
  if (!ini) throw std::runtime_error("cannot write the settings file");
}

BenchServer::~BenchServer() {
  if (Running()) Stop();
}

std::filesystem::path BenchServer::TotocalcioFolder() const {
  return home_ / ArchiveBelowDocuments / "Totocalcio";
}

std::filesystem::path BenchServer::TotogolFolder() const {
  return home_ / ArchiveBelowDocuments / "Totogol";
}

void BenchServer::Start() {
  const std::string errors = ErrorsFile().string();
  if (wine_) {
    PointDocumentsHere();
    // The development server takes its ports as arguments instead of the settings file.
    pid_ = Spawn({"wine", program_.string(), std::to_string(inPort_), std::to_string(outPort_)},
                 WineEnvironment(traceCalls_ ? "+relay" : "-all"), errors);
    return;
  }
  // The environment of this process without display, locale surprises or another home.
  std::vector<std::string> env =
      EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "HOME"}, true);
  env.push_back("HOME=" + home_.string());
  env.push_back("XDG_CONFIG_HOME=" + (home_ / "config").string());
  env.push_back("XDG_RUNTIME_DIR=" + (home_ / "runtime").string());

  // The development server takes its ports as arguments instead of the settings file.
  std::vector<std::string> args = {program_.string()};
  if (program_.filename() == "varo-headless") {
    args.push_back(std::to_string(inPort_));
    args.push_back(std::to_string(outPort_));
  }
  pid_ = Spawn(args, env, errors);
}

void BenchServer::PointDocumentsHere() const {
  // Wine names the Unix root Z:, and the known folder follows the user's shell folders key.
  std::string documents = "Z:" + (home_ / "Documents").string();
  std::replace(documents.begin(), documents.end(), '/', '\\');
  const pid_t reg = Spawn({"wine", "reg", "add",
                           "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
                           "Shell Folders",
                           "/v", "Personal", "/t", "REG_EXPAND_SZ", "/d", documents, "/f"},
                          WineEnvironment("-all"));
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pid_t ended = 0;
  while ((ended = waitpid(reg, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (ended == 0) {
    kill(reg, SIGKILL);
    waitpid(reg, &status, 0);
  }
  if (ended == 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("wine reg could not set the Documents folder to " + documents);
  }
}

std::string BenchServer::Stop() {
  if (!Running()) return "not running";
  kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  pid_t ended = 0;
  while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string outcome;
  if (ended == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    outcome = "killed after 5 s";
  } else if (WIFEXITED(status)) {
    outcome = "exit " + std::to_string(WEXITSTATUS(status));
  } else {
    outcome = "signal " + std::to_string(WTERMSIG(status));
  }
  pid_ = -1;
  return outcome;
}

std::string BenchServer::Errors() const {
  std::ifstream errors(ErrorsFile(), std::ios::binary);
  std::string text(2000, '\0');
  errors.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(errors.gcount()));
  return text;
}

std::string BenchServer::ErrorsEnd() const {
  std::ifstream errors(ErrorsFile(), std::ios::binary | std::ios::ate);
  const std::streamoff size = errors.tellg();
  errors.seekg(std::max<std::streamoff>(0, size - 2000));
  std::string text(2000, '\0');
  errors.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(errors.gcount()));
  return text;
}

long BenchServer::PeakResidentKiB() const {
  return StatusKiB("VmHWM:");
}

long BenchServer::ResidentKiB() const {
  return StatusKiB("VmRSS:");
}

long BenchServer::StatusKiB(const std::string& field) const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

}  // namespace varo::bench
