#include "posix/WinePrefix.h"

#include <gtest/gtest.h>

#include <fstream>

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
  fs::create_directories(root_ / "data");    // the trash's parent, as on a desktop
  fs::create_directories(root_ / "prefix");  // wineserver starts in it
  env_ = EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "WINEPREFIX", "WINEDEBUG",
                             "WINEDLLOVERRIDES", "HOME", "XDG_DATA_HOME"});
  env_["WINEPREFIX"] = (root_ / "prefix").string();
  env_["WINEDEBUG"] = "-all";
  env_["WINEDLLOVERRIDES"] = "mscoree,mshtml=";  // no Mono or Gecko installers
  env_["HOME"] = (root_ / "home").string();      // a fresh prefix links its user folders here
  // Not the trash of whoever runs the tests.
  env_["XDG_DATA_HOME"] = (root_ / "data").string();
  // Wine spells Unix file names in the locale's character set, which is ASCII where no LANG is set.
  env_["LC_ALL"] = "C.UTF-8";
}

WinePrefix::~WinePrefix() {
  Shutdown();
}

bool WinePrefix::Boot() {
  const bool server = Resume();
  const auto boot = RunToEnd({wine_.string(), "wineboot"}, env_, Logs(), "wineboot", 180);
  EXPECT_EQ(boot, 0) << "wineboot";
  return server && boot == 0 && !UserName().empty();
}

bool WinePrefix::Resume() {
  const auto server = RunToEnd({wineserver_.string(), "-p"}, env_, Logs(), "wineserver-p", 30);
  EXPECT_EQ(server, 0) << "wineserver -p";
  return server == 0;
}

bool WinePrefix::Shutdown() {
  return RunToEnd({wineserver_.string(), "-k"}, env_, Logs(), "wineserver-k", 30).has_value();
}

namespace {

// A name or string of user.reg without its quotes and escapes.
std::string Unquoted(const std::string& text) {
  std::string plain;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '\\' && i + 2 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

}  // namespace

std::optional<std::map<std::string, std::string>> WinePrefix::UserKey(
    const std::string& key) const {
  // Key lines read [Software\\Microsoft\\...] followed by a time stamp; value lines "name"=value.
  std::string header = "[";
  for (char c : key) header += c == '\\' ? std::string("\\\\") : std::string(1, c);
  header += "]";
  std::ifstream file(Folder() / "user.reg");
  std::optional<std::map<std::string, std::string>> values;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("[")) {
      if (values) break;
      if (line == header || line.starts_with(header + " ")) values.emplace();
    } else if (values && line.starts_with("\"")) {
      const std::size_t equals = line.find("\"=");
      if (equals == std::string::npos) continue;
      const std::string name = Unquoted(line.substr(0, equals + 1));
      const std::string value = line.substr(equals + 2);
      (*values)[name] = value.starts_with("\"") ? Unquoted(value) : value;
    }
  }
  return values;
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
