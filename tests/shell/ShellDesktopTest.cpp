// The real program on a virtual desktop with a window manager and a panel holding the tray: the
// icon appears, a real double-click shows the window, closing the window ends the program.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "ProgramFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"

namespace varo::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string FindProgram(const std::string& name) {
  std::stringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(path, folder, ':')) {
    const auto candidate = std::filesystem::path(folder) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

// Runs a short command on the display, bounded by `timeout`, and returns its standard output.
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

// Polls until check() gives a non-empty answer or the seconds pass.
std::string WaitFor(double seconds, const std::function<std::string()>& check) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    std::string answer = check();
    if (!answer.empty() || Clock::now() >= deadline) return answer;
    std::this_thread::sleep_for(milliseconds(100));
  }
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// Ends a helper process politely, then for sure; always by its own id.
void Stop(std::unique_ptr<ChildProcess>& child) {
  if (!child) return;
  child->Signal(SIGTERM);
  if (!child->WaitEnded(3.0)) child->Signal(SIGKILL);
  child.reset();
}

// Ends the children it names, in that order, when the test ends however it ends.
struct StopAll {
  std::vector<std::unique_ptr<ChildProcess>*> children;
  ~StopAll() {
    for (auto* child : children) Stop(*child);
  }
};

// Starts Xvfb, which picks a free display itself and writes its number to standard output;
// returns the display's name, or "" when none came within ten seconds.
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

TEST(ShellDesktop, AStopSignalEndsTheProgramWhileTheStartUpMessageIsOpen) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is missing";
  TempDir dir;
  auto env = ProgramEnvironment(dir.Path());
  std::unique_ptr<ChildProcess> xserver;
  std::unique_ptr<ChildProcess> program;
  const StopAll cleanup{{&program, &xserver}};
  env["DISPLAY"] = StartXvfb(xvfb, env, dir.Path(), xserver);
  ASSERT_NE(env["DISPLAY"], "") << xserver->StandardError();

  UdpPeer holder;  // the input port is taken, so start-up shows the bind error in a message box
  WritePorts(dir.Path() / "config", holder.Port(), FreeUdpPort());
  program = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env,
                                           dir.Path(), "program");
  const std::string reported = WaitFor(10.0, [&] {
    const std::string err = program->StandardError();
    return err.find("Could not bind socket") == std::string::npos ? std::string() : err;
  });
  ASSERT_FALSE(reported.empty()) << program->StandardError();
  std::this_thread::sleep_for(milliseconds(300));  // the box's own loop is running by now
  program->Signal(SIGTERM);
  EXPECT_EQ(program->WaitExit(3.0), 0) << program->StandardError();
}

TEST(ShellDesktop, TheTrayIconShowsTheWindowAndClosingItEndsTheProgram) {
  const std::string xvfb = FindProgram("Xvfb");
  const std::string openbox = FindProgram("openbox");
  const std::string tint2 = FindProgram("tint2");
  if (xvfb.empty() || openbox.empty() || tint2.empty() || FindProgram("xdotool").empty()) {
    GTEST_SKIP() << "Xvfb, openbox, tint2 or xdotool is missing";
  }
  TempDir dir;
  auto env = ProgramEnvironment(dir.Path());

  std::unique_ptr<ChildProcess> xserver;
  std::unique_ptr<ChildProcess> manager;
  std::unique_ptr<ChildProcess> panel;
  std::unique_ptr<ChildProcess> program;
  const StopAll cleanup{{&program, &panel, &manager, &xserver}};

  const std::string display = StartXvfb(xvfb, env, dir.Path(), xserver);
  ASSERT_FALSE(display.empty()) << xserver->StandardError();
  env["DISPLAY"] = display;

  manager =
      std::make_unique<ChildProcess>(std::vector<std::string>{openbox}, env, dir.Path(), "openbox");
  panel = std::make_unique<ChildProcess>(
      std::vector<std::string>{tint2, "-c", "/etc/xdg/tint2/tint2rc"}, env, dir.Path(), "tint2");
  const std::string trayReady = WaitFor(10.0, [&] {
    const std::string all = panel->StandardOutput() + panel->StandardError();
    return all.find("systray started") == std::string::npos ? std::string() : all;
  });
  ASSERT_FALSE(trayReady.empty()) << "the panel's notification area did not start";
  std::this_thread::sleep_for(milliseconds(1000));

  WritePorts(dir.Path() / "config", FreeUdpPort(), FreeUdpPort());
  program = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env,
                                           dir.Path(), "program");

  // Hidden at start: the only visible window of the program is its icon in the panel.
  const std::string icon = FirstLine(WaitFor(10.0, [&] {
    return RunOn(display, "xdotool search --onlyvisible --class quillmarch-varo-server");
  }));
  ASSERT_FALSE(icon.empty()) << program->StandardError();
  EXPECT_EQ(RunOn(display, "xdotool search --onlyvisible --name 'Quillmarch Varo Server'"), "");

  const std::string geometry = RunOn(display, "xdotool getwindowgeometry " + icon);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(
      geometry, match, std::regex(R"(Position: (-?\d+),(-?\d+)[^\n]*\n\s*Geometry: (\d+)x(\d+))")))
      << geometry;
  const int x = std::stoi(match[1]) + std::stoi(match[3]) / 2;
  const int y = std::stoi(match[2]) + std::stoi(match[4]) / 2;
  RunOn(display, "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                     " click --repeat 2 --delay 80 1");

  const std::string window = FirstLine(WaitFor(10.0, [&] {
    return RunOn(display, "xdotool search --onlyvisible --name '^Quillmarch Varo Server 1\\.15$'");
  }));
  ASSERT_FALSE(window.empty()) << "a double-click on the icon showed no window";
  EXPECT_EQ(FirstLine(RunOn(display, "xdotool getwindowname " + window)),
            "Quillmarch Varo Server 1.15");

  // Alt+F4 through the window manager, as a user closes it.
  RunOn(display, "xdotool windowactivate --sync " + window);
  RunOn(display, "xdotool key --clearmodifiers alt+F4");
  EXPECT_EQ(program->WaitExit(5.0), 0) << program->StandardError();
  EXPECT_EQ(program->StandardOutput(), "");
}

}  // namespace
}  // namespace varo::test
