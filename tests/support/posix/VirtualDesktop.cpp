#include "posix/VirtualDesktop.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace varo::test {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const auto candidate = std::filesystem::path(folder) / name;
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

std::string RunOn(const std::string& display, const std::string& command) {
  const std::string line = "DISPLAY=" + display + " timeout 5 " + command + " 2>/dev/null";
  FILE* pipe = ::popen(line.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  ::pclose(pipe);
  return out;
}

std::string WaitFor(double seconds, const std::function<std::string()>& check) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    std::string answer = check();
    if (!answer.empty() || std::chrono::steady_clock::now() >= deadline) return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

bool CloseWithKeyboard(const std::string& display, const std::string& window) {
  const auto shown = [&] {
    const std::string visible = "\n" + RunOn(display, "xdotool search --onlyvisible --name .");
    return visible.find("\n" + window + "\n") != std::string::npos;
  };
  for (int press = 0; press < 3; ++press) {
    RunOn(display, "xdotool windowactivate --sync " + window);
    RunOn(display, "xdotool key --clearmodifiers alt+F4");
    if (WaitFor(3.0, [&] { return shown() ? "" : "gone"; }) == "gone") return true;
  }
  return false;
}

void Stop(std::unique_ptr<ChildProcess>& child) {
  if (!child) return;
  child->Signal(SIGTERM);
  if (!child->WaitEnded(3.0)) child->Signal(SIGKILL);
  child.reset();
}

std::string StartXvfb(const std::string& xvfb, const Environment& env,
                      const std::filesystem::path& folder, std::unique_ptr<ChildProcess>& xserver) {
  xserver = std::make_unique<ChildProcess>(
      std::vector<std::string>{xvfb, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten",
                               "tcp"},
      env, folder, "xvfb");
  const std::string number = WaitFor(10.0, [&] {
    const std::string out = xserver->StandardOutput();
    return out.find('\n') == std::string::npos ? std::string() : FirstLine(out);
  });
  return number.empty() ? "" : ":" + number;
}

std::string VirtualDesktop::Missing() {
  std::string missing;
  for (const char* program : {"Xvfb", "openbox", "tint2", "xdotool"}) {
    if (FindProgram(program).empty()) missing += std::string(missing.empty() ? "" : " ") + program;
  }
  return missing;
}

VirtualDesktop::VirtualDesktop(const Environment& env, const std::filesystem::path& folder)
    : env_(env), folder_(folder) {}

VirtualDesktop::~VirtualDesktop() {
  Stop(panel_);
  Stop(manager_);
  Stop(xserver_);
}

bool VirtualDesktop::Start(bool withPanel) {
  const std::string display = StartXvfb(FindProgram("Xvfb"), env_, folder_, xserver_);
  if (display.empty()) return false;
  Environment env = env_;
  env["DISPLAY"] = display;
  manager_ = std::make_unique<ChildProcess>(std::vector<std::string>{FindProgram("openbox")}, env,
                                            folder_, "openbox");
  display_ = display;
  return !withPanel || StartPanel();
}

bool VirtualDesktop::StartPanel() {
  Environment env = env_;
  env["DISPLAY"] = display_;
  panel_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{FindProgram("tint2"), "-c", "/etc/xdg/tint2/tint2rc"}, env, folder_,
      "tint2");
  const std::string trayReady = WaitFor(10.0, [&] {
    const std::string all = panel_->StandardOutput() + panel_->StandardError();
    return all.find("systray started") == std::string::npos ? std::string() : all;
  });
  if (trayReady.empty()) return false;
  // The panel claims the tray's selection just after it says so.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  return true;
}

std::string VirtualDesktop::Output() const {
  std::string all;
  for (const auto* child : {&xserver_, &manager_, &panel_}) {
    if (*child) all += (*child)->StandardOutput() + (*child)->StandardError();
  }
  return all;
}

}  // namespace varo::test
