#include "posix/WinePrefix.h"

#include <gtest/gtest.h>

#include "posix/VirtualDesktop.h"

namespace varo::test {

namespace fs = std::filesystem;

std::optional<fs::path> ProgramOnPath(const std::string& name) {
  const std::string path = FindProgram(name);
  if (path.empty()) return std::nullopt;
  return fs::path(path);
}

std::optional<int> RunToEnd(const std::vector<std::string>& command, const Environment& env,
                            const fs::path& logs, const std::string& tag, double seconds) {
  ChildProcess child(command, env, logs, tag);
  const auto code = child.WaitExit(seconds);
  if (!code) ADD_FAILURE() << tag << " did not end within " << seconds << " s";
  return code;
}

WinePrefix::WinePrefix(const fs::path& root, fs::path wine, fs::path wineserver)
    : root_(root), wine_(std::move(wine)), wineserver_(std::move(wineserver)) {
  fs::create_directories(root_ / "home");
  fs::create_directories(root_ / "logs");
  fs::create_directories(root_ / "prefix");  // wineserver starts in it
  env_ = EnvironmentWithout(
      {"DISPLAY", "WAYLAND_DISPLAY", "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "HOME"});
  env_["WINEPREFIX"] = (root_ / "prefix").string();
  env_["WINEDEBUG"] = "-all";
  env_["WINEDLLOVERRIDES"] = "mscoree,mshtml=";  // no Mono or Gecko installers
  env_["HOME"] = (root_ / "home").string();      // a fresh prefix links its user folders here
}

WinePrefix::~WinePrefix() {
  Shutdown();
}

bool WinePrefix::Boot() {
  const auto server = RunToEnd({wineserver_.string(), "-p"}, env_, Logs(), "wineserver-p", 30);
  const auto boot = RunToEnd({wine_.string(), "wineboot"}, env_, Logs(), "wineboot", 180);
  EXPECT_EQ(server, 0) << "wineserver -p";
  EXPECT_EQ(boot, 0) << "wineboot";
  return server == 0 && boot == 0 && !UserName().empty();
}

bool WinePrefix::Shutdown() {
  return RunToEnd({wineserver_.string(), "-k"}, env_, Logs(), "wineserver-k", 30).has_value();
}

std::string WinePrefix::UserName() const {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root_ / "prefix/drive_c/users", error)) {
    if (entry.path().filename() != "Public") return entry.path().filename().string();
  }
  return "";
}

fs::path WinePrefix::UserFolder() const {
  return root_ / "prefix/drive_c/users" / UserName();
}

}  // namespace varo::test
