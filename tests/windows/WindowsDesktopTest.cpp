// The Windows desktop program under Wine on a virtual desktop (Xvfb, openbox, tint2 holding the
// tray): hidden at start with its tray icon, serving; a real double-click on the icon shows the
// window with the log; a second start ends at once; closing the window ends the program and frees
// its port. The window's controls are read by a small Windows probe run in the same prefix. Runs
// when VARO_WINDOWS_DESKTOP names the Windows build's quillmarch-varo-server.exe and Wine and the
// virtual desktop's programs are installed; skipped otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/VirtualDesktop.h"
#include "posix/WinePrefix.h"

namespace varo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string Caption = "Quillmarch Varo Server 1.15";
const std::string CaptionPattern = "'^Quillmarch Varo Server 1\\.15$'";

// The probe of the same Windows build: <build>/tests/windows beside <build>/src/shell.
fs::path ProbeBeside(const fs::path& program) {
  if (const char* probe = std::getenv("VARO_WINDOW_TEXT_PROBE"); probe != nullptr && *probe) {
    return probe;
  }
  return program.parent_path().parent_path().parent_path() / "tests" / "windows" /
         "window-text-probe.exe";
}

std::size_t LineCount(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

class WindowsDesktopRun {
 public:
  WindowsDesktopRun(const WinePrefix& prefix, const std::string& display, fs::path program,
                    fs::path probe)
      : prefix_(prefix),
        display_(display),
        program_(std::move(program)),
        probe_(std::move(probe)) {}

  // The text of the window's first control of the class, as the probe reads it; nothing when the
  // probe found no window or control.
  std::optional<std::string> ControlText(const std::string& windowClass) {
    const std::string tag = "probe" + std::to_string(++probes_);
    const auto code = RunToEnd({prefix_.Wine().string(), probe_.string(), Caption, windowClass},
                               prefix_.Env(), prefix_.Logs(), tag, 60);
    if (code != 0) return std::nullopt;
    return FileBytes(prefix_.Logs() / (tag + ".out"));
  }

  // Wine's tray icons: X windows of its explorer docked in the panel, one line each with the
  // window's id and its centre's x and y. Explorer's windows that are not docked (the icon's tip,
  // hidden helpers) are children of the root window and left out.
  std::string TrayIcons() const {
    const std::regex placed(R"(Position: (-?\d+),(-?\d+)[^\n]*\n\s*Geometry: (\d+)x(\d+))");
    std::istringstream found(
        RunOn(display_, "xdotool search --onlyvisible --classname 'explorer\\.exe'"));
    std::string icons;
    for (std::string id; std::getline(found, id);) {
      const std::string family = RunOn(display_, "xwininfo -children -id " + id);
      if (family.find("Parent window id:") == std::string::npos ||
          family.find("(the root window)", family.find("Parent window id:")) != std::string::npos) {
        continue;
      }
      const std::string geometry = RunOn(display_, "xdotool getwindowgeometry " + id);
      std::smatch match;
      if (!std::regex_search(geometry, match, placed)) continue;
      icons += id + " " + std::to_string(std::stoi(match[1]) + std::stoi(match[3]) / 2) + " " +
               std::to_string(std::stoi(match[2]) + std::stoi(match[4]) / 2) + "\n";
    }
    return icons;
  }

  std::string VisibleWindows() const {
    return RunOn(display_, "xdotool search --onlyvisible --name " + CaptionPattern);
  }

  std::unique_ptr<ChildProcess> Start(const std::string& tag) const {
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{prefix_.Wine().string(), program_.string()}, prefix_.Env(),
        prefix_.Logs(), tag);
  }

  const fs::path& Program() const { return program_; }

 private:
  const WinePrefix& prefix_;
  std::string display_;
  fs::path program_;
  fs::path probe_;
  int probes_ = 0;
};

TEST(WindowsDesktop, HiddenInTheTrayItServesShowsItsLogOnADoubleClickAndEndsWhenClosed) {
  const char* desktopProgram = std::getenv("VARO_WINDOWS_DESKTOP");
  if (desktopProgram == nullptr || *desktopProgram == '\0') {
    GTEST_SKIP() << "VARO_WINDOWS_DESKTOP names no Windows desktop program";
  }
  const auto wine = ProgramOnPath("wine");
  const auto wineserver = ProgramOnPath("wineserver");
  if (!wine || !wineserver) GTEST_SKIP() << "Wine is not installed";
  if (const std::string missing = VirtualDesktop::Missing(); !missing.empty()) {
    GTEST_SKIP() << "missing: " << missing;
  }
  const fs::path probe = ProbeBeside(desktopProgram);
  ASSERT_TRUE(fs::is_regular_file(desktopProgram)) << desktopProgram;
  ASSERT_TRUE(fs::is_regular_file(probe)) << probe;

  TempDir root;
  VirtualDesktop desktop(EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY"}), root.Path());
  ASSERT_TRUE(desktop.Start()) << desktop.Output();
  WinePrefix prefix(root.Path() / "wine", *wine, *wineserver);
  prefix.UseDisplay(desktop.Display());
  ASSERT_TRUE(prefix.Boot()) << "the Wine prefix could not be made";
  WindowsDesktopRun run(prefix, desktop.Display(), desktopProgram, probe);

  // An empty archive in Documents (a fresh prefix links it to HOME: a folder of its own here) and
  // free ports in the settings file.
  const fs::path user = prefix.UserFolder();
  fs::remove(user / "Documents");
  MakeEmptyArchive(user);
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  WritePorts(user / "AppData" / "Roaming", inPort, outPort);

  auto program = run.Start("desktop");
  const StopAll cleanup{{&program}};
  const std::string started = WaitFor(60, [&] {
    const std::string err = program->StandardError();
    return err.find("listening on input port") == std::string::npos ? "" : err;
  });
  ASSERT_FALSE(started.empty()) << "not serving within 60 s\n" << program->StandardError();

  // Hidden at start: its icon in the panel, no window on the screen, and nothing laid out in the
  // log view while nobody can see it.
  const std::string icon = FirstLine(WaitFor(10, [&] { return run.TrayIcons(); }));
  ASSERT_FALSE(icon.empty()) << "no tray icon\n" << program->StandardError();
  EXPECT_EQ(run.VisibleWindows(), "");

  UdpPeer client;
  UdpPeer replies(outPort);
  const auto exchange = [&] {
    client.SendTo(inPort, TotocalcioListRequest());
    const auto reply = replies.Receive(10000ms);
    ASSERT_TRUE(reply) << "no reply within 10 s";
    EXPECT_EQ(*reply, EmptyTotocalcioListReply());
  };
  exchange();
  ASSERT_TRUE(program->WaitForOutputLines(2, 10));
  const std::regex listLines(
      R"(Richiesta lista Totocalcio \[[^\]\r\n]+\]\r\nElenco inviato \(0\) \[[^\]\r\n]+\]\r\n)");
  EXPECT_TRUE(std::regex_match(program->StandardOutput(), listLines)) << program->StandardOutput();
  EXPECT_EQ(run.ControlText("Edit"), "");

  // A real double-click on the icon shows the window, its log holding at once what standard
  // output got (CR LF between lines, none after the last), and its status line.
  std::istringstream centre(icon);
  std::string id;
  int x = 0;
  int y = 0;
  ASSERT_TRUE(centre >> id >> x >> y) << icon;
  RunOn(desktop.Display(), "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                               " click --repeat 2 --delay 80 1");
  const std::string window = FirstLine(WaitFor(10, [&] { return run.VisibleWindows(); }));
  ASSERT_FALSE(window.empty()) << "a double-click on the icon showed no window";
  const auto shownLog = [&] {
    std::string text = program->StandardOutput();
    return text.substr(0, text.size() - 2);
  };
  EXPECT_EQ(run.ControlText("Edit"), shownLog());
  EXPECT_EQ(run.ControlText("msctls_statusbar32"),
            "In ascolto sulla porta " + std::to_string(inPort) + "; risposte alla porta " +
                std::to_string(outPort));

  // While the window is visible, a request's lines reach the view a moment later.
  exchange();
  ASSERT_TRUE(program->WaitForOutputLines(4, 10));
  const std::string inView = WaitFor(10, [&] {
    const auto text = run.ControlText("Edit");
    return text && LineCount(*text) == 3 ? *text : "";
  });
  EXPECT_EQ(inView, shownLog());

  // A second start ends at once with 0, leaving one icon and one window.
  EXPECT_EQ(RunToEnd({wine->string(), desktopProgram}, prefix.Env(), prefix.Logs(), "second", 60),
            0);
  EXPECT_NE(FileBytes(prefix.Logs() / "second.err").find("already running"), std::string::npos);
  EXPECT_EQ(LineCount(run.TrayIcons()), 1u);
  EXPECT_EQ(LineCount(run.VisibleWindows()), 1u);

  // Alt+F4 through the window manager, as a user closes it: the program ends with 0, its icon
  // goes, and its input port is free at once.
  RunOn(desktop.Display(), "xdotool windowactivate --sync " + window);
  RunOn(desktop.Display(), "xdotool key --clearmodifiers alt+F4");
  EXPECT_EQ(program->WaitExit(10), 0) << program->StandardError();
  EXPECT_NO_THROW(UdpPeer{inPort}) << "the input port is still taken";
  EXPECT_EQ(WaitFor(10, [&] { return run.TrayIcons().empty() ? "gone" : ""; }), "gone");
  EXPECT_EQ(LineCount(program->StandardOutput()), 4u);
}

}  // namespace
}  // namespace varo::test
