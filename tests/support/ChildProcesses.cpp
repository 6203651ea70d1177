#include "ChildProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace varo::test {

std::map<std::string, std::string> EnvironmentWithout(std::initializer_list<const char*> names) {
  std::map<std::string, std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    env[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const char* name : names) env.erase(name);
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

}  // namespace varo::test
