// The real program on a virtual desktop with a window manager and a panel holding the tray: the
// icon appears, a real double-click shows the window, closing the window ends the program.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "ProgramFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/VirtualDesktop.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

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
  if (const std::string missing = VirtualDesktop::Missing(); !missing.empty()) {
    GTEST_SKIP() << "missing: " << missing;
  }
  TempDir dir;
  auto env = ProgramEnvironment(dir.Path());
  VirtualDesktop desktop(env, dir.Path());
  ASSERT_TRUE(desktop.Start()) << desktop.Output();
  const std::string display = desktop.Display();
  env["DISPLAY"] = display;

  std::unique_ptr<ChildProcess> program;
  const StopAll cleanup{{&program}};

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

  ASSERT_TRUE(CloseWithKeyboard(display, window)) << "Alt+F4 left the window shown";
  EXPECT_EQ(program->WaitExit(5.0), 0) << program->StandardError();
  EXPECT_EQ(program->StandardOutput(), "");
}

// The program's visible main window on the display, "" when none is shown.
std::string VisibleWindow(const std::string& display) {
  return FirstLine(
      RunOn(display, "xdotool search --onlyvisible --name '^Quillmarch Varo Server 1\\.15$'"));
}

// Its icon in the panel, waited for up to ten seconds; "" when none came.
std::string TrayIconOn(const std::string& display) {
  return FirstLine(WaitFor(10.0, [&] {
    return RunOn(display, "xdotool search --onlyvisible --class quillmarch-varo-server");
  }));
}

// The program started hidden on a virtual desktop of its own, with or without a panel at first.
class ShellOnDesktop : public ::testing::Test {
 protected:
  // False when the desktop could not be had; a test skips first where its programs are missing.
  bool Start(bool withPanel) {
    desktop_ = std::make_unique<VirtualDesktop>(env_, dir_.Path());
    if (!desktop_->Start(withPanel)) {
      ADD_FAILURE() << desktop_->Output();
      return false;
    }
    display_ = desktop_->Display();
    env_["DISPLAY"] = display_;
    WritePorts(dir_.Path() / "config", FreeUdpPort(), FreeUdpPort());
    program_ = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env_,
                                              dir_.Path(), "program");
    return true;
  }

  void TearDown() override {
    if (!program_) return;
    program_->Signal(SIGTERM);
    EXPECT_EQ(program_->WaitExit(5.0), 0) << program_->StandardError();
  }

  TempDir dir_;
  Environment env_ = ProgramEnvironment(dir_.Path());
  std::unique_ptr<VirtualDesktop> desktop_;
  std::string display_;
  std::unique_ptr<ChildProcess> program_;
};

TEST_F(ShellOnDesktop, AStartFromTheMenuShowsTheHiddenRunningInstancesWindowAndEnds) {
  if (!VirtualDesktop::Missing().empty()) GTEST_SKIP() << "missing: " << VirtualDesktop::Missing();
  ASSERT_TRUE(Start(true));
  ASSERT_NE(TrayIconOn(display_), "") << program_->StandardError();
  ASSERT_EQ(VisibleWindow(display_), "");

  ChildProcess fromMenu({VARO_SERVER_PROGRAM, "--mostra"}, env_, dir_.Path(), "menu");
  EXPECT_EQ(fromMenu.WaitExit(5.0), 0) << fromMenu.StandardError();
  EXPECT_EQ(fromMenu.StandardError(),
            "quillmarch-varo-server: an instance is already running for this user\n");
  EXPECT_NE(WaitFor(10.0, [&] { return VisibleWindow(display_); }), "")
      << "the running instance showed no window";
}

TEST_F(ShellOnDesktop, AtLogInAPanelThatComesLateTakesTheIconAndTheWindowStaysHidden) {
  if (!VirtualDesktop::Missing().empty()) GTEST_SKIP() << "missing: " << VirtualDesktop::Missing();
  ASSERT_TRUE(Start(false));
  // Serving, so its start-up is over: with no notification area it would have shown the window.
  ASSERT_NE(WaitFor(10.0,
                    [&] {
                      const std::string err = program_->StandardError();
                      return err.find("Totogol systems") == std::string::npos ? "" : err;
                    }),
            "")
      << program_->StandardError();
  std::this_thread::sleep_for(milliseconds(1000));
  ASSERT_TRUE(desktop_->StartPanel()) << desktop_->Output();

  EXPECT_NE(TrayIconOn(display_), "") << program_->StandardError();
  EXPECT_EQ(VisibleWindow(display_), "");
}

// A window's place on the screen as xdotool tells it: x, y, width, height.
std::vector<int> PlaceOf(const std::string& display, const std::string& window) {
  const std::string told = RunOn(display, "xdotool getwindowgeometry " + window);
  std::smatch found;
  if (!std::regex_search(
          told, found,
          std::regex("Position: (-?\\d+),(-?\\d+)[^\\n]*\\n\\s*Geometry: (\\d+)x(\\d+)"))) {
    return {};
  }
  return {std::stoi(found[1]), std::stoi(found[2]), std::stoi(found[3]), std::stoi(found[4])};
}

TEST_F(ShellOnDesktop, ACrashOfTheLastRunIsToldInABalloonThatPointsAtTheIcon) {
  if (!VirtualDesktop::Missing().empty()) GTEST_SKIP() << "missing: " << VirtualDesktop::Missing();
  const auto report =
      dir_.WriteFile("state/Quillmarch/Quillmarch Varo Server/crash-2026-12-08T101502.txt", "x");
  dir_.WriteFile("state/Quillmarch/Quillmarch Varo Server/ultimo-crash", report.string() + "\n");
  env_["XDG_STATE_HOME"] = (dir_.Path() / "state").string();
  ASSERT_TRUE(Start(true));
  const std::string icon = TrayIconOn(display_);
  ASSERT_NE(icon, "") << program_->StandardError();
  // The balloon: the program's other visible window, the main window being hidden.
  const std::string balloon = WaitFor(10.0, [&] {
    std::istringstream windows(
        RunOn(display_, "xdotool search --onlyvisible --class quillmarch-varo-server"));
    for (std::string window; std::getline(windows, window);) {
      if (window != icon) return window;
    }
    return std::string();
  });
  ASSERT_NE(balloon, "") << program_->StandardError();
  const std::vector<int> at = PlaceOf(display_, icon);
  const std::vector<int> tip = PlaceOf(display_, balloon);
  ASSERT_EQ(at.size(), 4u);
  ASSERT_EQ(tip.size(), 4u);
  // Its nearest edge within a few pixels of the icon's middle, wherever the panel puts it.
  const int iconX = at[0] + at[2] / 2, iconY = at[1] + at[3] / 2;
  const int dx = std::max({tip[0] - iconX, 0, iconX - (tip[0] + tip[2])});
  const int dy = std::max({tip[1] - iconY, 0, iconY - (tip[1] + tip[3])});
  EXPECT_LE(dx + dy, 40) << "icon at " << at[0] << "," << at[1] << "; balloon at " << tip[0] << ","
                         << tip[1] << " " << tip[2] << "x" << tip[3];
}

}  // namespace
}  // namespace varo::test
