// The Windows desktop program under Wine on a virtual desktop (Xvfb, openbox, tint2 holding the
// tray): hidden at start with its tray icon, serving; a real double-click on the icon shows the
// window with the log; a second start ends at once; closing the window ends the program and frees
// its port; a port taken at start is shown and another one chosen from the menu; the icon's own
// menu shows the window and ends the program; the window follows a monitor's scale and is sized for
// the system's from its first paint; every name shows whole in the tips; the icon warns while a
// message of start-up is open. The window's controls and the notification area's tips are read,
// and the window told of the scale, by a small Windows probe run in the same prefix. Runs
// when VARO_WINDOWS_DESKTOP names the Windows build's quillmarch-varo-server.exe and Wine and the
// virtual desktop's programs are installed; skipped otherwise.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

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

// Whether a status line says the program listens on in and replies to out; which addresses this
// computer has differs from machine to machine.
bool SaysListening(const std::optional<std::string>& line, int in, int out) {
  const std::regex listening("In ascolto sulla porta " + std::to_string(in) +
                             "( all'indirizzo [0-9.]+| agli indirizzi [0-9., ]+|, solo da questo "
                             "computer \\(nessuna rete attiva\\)); risposte alla porta " +
                             std::to_string(out));
  return line && std::regex_match(*line, listening);
}
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

// A fresh prefix on a fresh virtual desktop, an empty archive in Documents (a fresh prefix links
// it to HOME: a folder of its own here) and free ports in the settings file.
class WindowsDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("VARO_WINDOWS_DESKTOP");
    if (program == nullptr || *program == '\0') {
      GTEST_SKIP() << "VARO_WINDOWS_DESKTOP names no Windows desktop program";
    }
    const auto wine = ProgramOnPath("wine");
    const auto wineserver = ProgramOnPath("wineserver");
    if (!wine || !wineserver) GTEST_SKIP() << "Wine is not installed";
    if (const std::string missing = VirtualDesktop::Missing(); !missing.empty()) {
      GTEST_SKIP() << "missing: " << missing;
    }
    program_ = program;
    probe_ = ProbeBeside(program_);
    ASSERT_TRUE(fs::is_regular_file(program_)) << program_;
    ASSERT_TRUE(fs::is_regular_file(probe_)) << probe_;

    desktop_ = std::make_unique<VirtualDesktop>(EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY"}),
                                                root_.Path());
    ASSERT_TRUE(desktop_->Start()) << desktop_->Output();
    prefix_ = std::make_unique<WinePrefix>(root_.Path() / "wine", *wine, *wineserver);
    prefix_->UseDisplay(desktop_->Display());
    ASSERT_TRUE(prefix_->Boot()) << "the Wine prefix could not be made";
    user_ = prefix_->UserFolder();
    fs::remove(user_ / "Documents");
    MakeEmptyArchive(user_);
  }

  // Ends the program before the prefix and the display go.
  void TearDown() override { Stop(program); }

  fs::path WritePortsFile(int inPort, int outPort) {
    return WritePorts(user_ / "AppData" / "Roaming", inPort, outPort);
  }

  std::unique_ptr<ChildProcess> Start(const std::string& tag,
                                      const std::vector<std::string>& arguments = {}) const {
    std::vector<std::string> command{prefix_->Wine().string(), program_.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(command, prefix_->Env(), prefix_->Logs(), tag);
  }

  // Waits for standard error to say text; what it said, "" after the seconds.
  std::string WaitForError(const std::string& text, double seconds) {
    return WaitFor(seconds, [&] {
      const std::string err = program->StandardError();
      return err.find(text) == std::string::npos ? "" : err;
    });
  }

  std::string On(const std::string& command) const { return RunOn(desktop_->Display(), command); }
  bool Close(const std::string& window) const {
    return CloseWithKeyboard(desktop_->Display(), window);
  }

  // What the probe printed for the window with these arguments after its caption; nothing when
  // it found no window or control.
  std::optional<std::string> Probe(const std::vector<std::string>& arguments) {
    const std::string tag = "probe" + std::to_string(++probes_);
    std::vector<std::string> command{prefix_->Wine().string(), probe_.string(), Caption};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto code = RunToEnd(command, prefix_->Env(), prefix_->Logs(), tag, 60);
    EXPECT_EQ(code, 0) << "the probe: 2 no window, 3 no control, 4 no answer, 5 no memory";
    if (code != 0) return std::nullopt;
    return FileBytes(prefix_->Logs() / (tag + ".out"));
  }

  // The text of the window's first control of the class, as the probe reads it.
  std::optional<std::string> ControlText(const std::string& windowClass) {
    return Probe({windowClass});
  }

  // An X window's left, top, width and height; nothing when there is no such window.
  std::optional<std::array<int, 4>> PlaceOf(const std::string& id) const {
    const std::regex placed(R"(Position: (-?\d+),(-?\d+)[^\n]*\n\s*Geometry: (\d+)x(\d+))");
    std::smatch match;
    const std::string geometry = On("xdotool getwindowgeometry " + id);
    if (id.empty() || !std::regex_search(geometry, match, placed)) return std::nullopt;
    return std::array<int, 4>{std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3]),
                              std::stoi(match[4])};
  }

  // Wine's tray icons: X windows of its explorer docked in the panel, one line each with the
  // window's id and its centre's x and y. Explorer's windows that are not docked (the icon's tip,
  // hidden helpers) are children of the root window and left out.
  std::string TrayIcons() const {
    std::istringstream found(On("xdotool search --onlyvisible --classname 'explorer\\.exe'"));
    std::string icons;
    for (std::string id; std::getline(found, id);) {
      const std::string family = On("xwininfo -children -id " + id);
      const std::size_t parent = family.find("Parent window id:");
      if (parent == std::string::npos ||
          family.find("(the root window)", parent) != std::string::npos) {
        continue;
      }
      if (const auto place = PlaceOf(id)) {
        const auto [left, top, width, height] = *place;
        icons += id + " " + std::to_string(left + width / 2) + " " +
                 std::to_string(top + height / 2) + "\n";
      }
    }
    return icons;
  }

  // A real click on the centre of the tray icon, with xdotool's arguments of click; false when
  // no icon came within ten seconds.
  bool ClickTrayIcon(const std::string& click) {
    std::istringstream icon(FirstLine(WaitFor(10, [&] { return TrayIcons(); })));
    std::string id;
    int x = 0;
    int y = 0;
    if (!(icon >> id >> x >> y)) return false;
    On("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " + click);
    return true;
  }

  // Real right-clicks on the icon until its menu shows, then a click on the item at position
  // (0 "Mostra", 1 "Registro eventi", 2 "Esci", of equal height); false when no menu came within
  // ten seconds. The menu is the program's visible window without a name.
  bool ChooseFromTrayMenu(int position) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (!ClickTrayIcon("3")) return false;
      const auto menu = PlaceOf(WaitFor(3, [&] {
        std::istringstream found(
            On("xdotool search --onlyvisible --classname '^quillmarch-varo-server\\.exe$'"));
        for (std::string id; std::getline(found, id);) {
          if (FirstLine(On("xdotool getwindowname " + id)).empty()) return id;
        }
        return std::string();
      }));
      if (!menu) continue;
      const auto [left, top, width, height] = *menu;
      On("xdotool mousemove " + std::to_string(left + width / 2) + " " +
         std::to_string(top + height * (2 * position + 1) / 6) + " click 1");
      return true;
    }
    return false;
  }

  // Real double-clicks on the icon until the window shows; the window's id, "" when there was no
  // icon or no window within ten seconds.
  std::string ShowByDoubleClick() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::string window;
    while (window.empty() && std::chrono::steady_clock::now() < deadline) {
      if (!ClickTrayIcon("--repeat 2 --delay 80 1")) return "";
      window = FirstLine(WaitFor(3, [&] { return VisibleWindows(); }));
    }
    return window;
  }

  // The sizes of the icons an X window shows for the window (its _NET_WM_ICON), as "32 16".
  std::string WindowIcons(const std::string& id) const {
    const std::string icons = On("xprop -id " + id + " _NET_WM_ICON");
    const std::regex size(R"(Icon \((\d+) x \d+\))");
    std::string sizes;
    for (auto it = std::sregex_iterator(icons.begin(), icons.end(), size);
         it != std::sregex_iterator(); ++it) {
      sizes += (sizes.empty() ? "" : " ") + (*it)[1].str();
    }
    return sizes;
  }

  // Whether the tray icon, the pointer away from it, shows the warning look's yellow within five
  // seconds ("yes"), or lacks it ("no").
  std::string TrayWarns(bool warns) {
    On("xdotool mousemove 0 0");
    return WaitFor(5, [&] {
      const std::string yellow = Probe({"--tray-warning"}).value_or("0");
      return (std::stoi(yellow) > 0) == warns ? (warns ? "yes" : "no") : "";
    });
  }

  // The system's scale in the prefix, which a program takes when it starts.
  void SetSystemDpi(int dpi) {
    ASSERT_EQ(RunInPrefix({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                           "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                          "dpi" + std::to_string(dpi)),
              0);
  }

  std::string VisibleWindows(const std::string& pattern = CaptionPattern) const {
    return On("xdotool search --onlyvisible --name " + pattern);
  }

  // Runs a Windows command of the prefix to its end; its exit code.
  std::optional<int> RunInPrefix(const std::vector<std::string>& arguments,
                                 const std::string& tag) {
    std::vector<std::string> command{prefix_->Wine().string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunToEnd(command, prefix_->Env(), prefix_->Logs(), tag, 60);
  }
  std::string WindowsUserFolder() const { return "C:\\users\\" + prefix_->UserName(); }

  // The user's folder in the prefix, Documents and AppData below it.
  const fs::path& User() const { return user_; }

  std::unique_ptr<ChildProcess> program;

 private:
  TempDir root_;
  std::unique_ptr<VirtualDesktop> desktop_;
  std::unique_ptr<WinePrefix> prefix_;
  fs::path program_;
  fs::path probe_;
  fs::path user_;
  int probes_ = 0;
};

TEST_F(WindowsDesktop, HiddenInTheTrayItServesShowsItsLogOnADoubleClickAndEndsWhenClosed) {
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  WritePortsFile(inPort, outPort);
  program = Start("desktop");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << "not serving within 60 s\n"
                                                             << program->StandardError();

  // Hidden at start: its icon in the panel, no window on the screen, and nothing laid out in the
  // log view while nobody can see it.
  ASSERT_NE(WaitFor(10, [&] { return TrayIcons(); }), "") << program->StandardError();
  EXPECT_EQ(VisibleWindows(), "");
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
  EXPECT_EQ(ControlText("Edit"), "");

  // A double-click on the icon shows the window, its log holding at once what standard output
  // got (CR LF between lines, none after the last), and its status line.
  const std::string window = ShowByDoubleClick();
  ASSERT_FALSE(window.empty()) << "a double-click on the icon showed no window";
  const auto shownLog = [&] {
    const std::string text = program->StandardOutput();
    return text.substr(0, text.size() - 2);
  };
  EXPECT_EQ(ControlText("Edit"), shownLog());
  const auto status = ControlText("msctls_statusbar32");
  EXPECT_TRUE(SaysListening(status, inPort, outPort)) << status.value_or("no status line");

  // While the window is visible, a request's lines reach the view a moment later.
  exchange();
  ASSERT_TRUE(program->WaitForOutputLines(4, 10));
  const std::string inView = WaitFor(10, [&] {
    const auto text = ControlText("Edit");
    return text && LineCount(*text) == 3 ? *text : "";
  });
  EXPECT_EQ(inView, shownLog());

  // A second start ends at once with 0, leaving one icon and one window.
  const auto second = Start("second");
  EXPECT_EQ(second->WaitExit(60), 0);
  EXPECT_NE(second->StandardError().find("already running"), std::string::npos);
  EXPECT_EQ(LineCount(TrayIcons()), 1u);
  EXPECT_EQ(LineCount(VisibleWindows()), 1u);

  // Alt+F4 through the window manager, as a user closes it: the program ends with 0, its icon
  // goes, and its input port is free at once.
  ASSERT_TRUE(Close(window)) << "Alt+F4 left the window shown";
  EXPECT_EQ(program->WaitExit(10), 0) << program->StandardError();
  EXPECT_NO_THROW(UdpPeer{inPort}) << "the input port is still taken";
  EXPECT_EQ(WaitFor(10, [&] { return TrayIcons().empty() ? "gone" : ""; }), "gone");
  EXPECT_EQ(LineCount(program->StandardOutput()), 4u);
}

TEST_F(WindowsDesktop, AStartFromTheMenuShowsTheHiddenRunningInstancesWindowAndEnds) {
  WritePortsFile(FreeUdpPort(), FreeUdpPort());
  program = Start("desktop");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();
  ASSERT_NE(WaitFor(10, [&] { return TrayIcons(); }), "") << program->StandardError();
  ASSERT_EQ(VisibleWindows(), "");

  const auto fromMenu = Start("menu", {"--mostra"});
  EXPECT_EQ(fromMenu->WaitExit(60), 0) << fromMenu->StandardError();
  EXPECT_EQ(fromMenu->StandardError(),
            "quillmarch-varo-server: an instance is already running for this user\r\n");
  EXPECT_EQ(LineCount(WaitFor(10, [&] { return VisibleWindows(); })), 1u)
      << "the running instance showed no window";
  EXPECT_EQ(LineCount(TrayIcons()), 1u);
}

TEST_F(WindowsDesktop, RequestsFollowDocumentsWhenItsLocationChanges) {
  // The folder's Location tab (or OneDrive's backup) moves Documents while the program runs.
  const fs::path old = TotocalcioFolderIn(User());
  const fs::path moved =
      User() / "Documenti" / "Quillmarch" / "Quillmarch Varo Server" / "Totocalcio";
  fs::create_directories(moved);
  WriteBytes(old / "vecchio.tcl.5", std::string(14, '\x01'));
  WriteBytes(moved / "nuovo.tcl.5", std::string(14, '\x01'));
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  WritePortsFile(inPort, outPort);
  program = Start("documents");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();

  ASSERT_EQ(RunInPrefix({"reg", "add",
                         "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
                         "Shell Folders",
                         "/v", "Personal", "/t", "REG_EXPAND_SZ", "/d",
                         WindowsUserFolder() + "\\Documenti", "/f"},
                        "reg"),
            0);
  UdpPeer client;
  UdpPeer replies(outPort);
  client.SendTo(inPort, TotocalcioListRequest());
  const auto listed = replies.Receive(10000ms);
  ASSERT_TRUE(listed) << "no reply within 10 s\n" << program->StandardError();
  const std::string listText(listed->begin(), listed->end());
  EXPECT_NE(listText.find("nuovo.tcl.5"), std::string::npos) << program->StandardError();
  EXPECT_EQ(listText.find("vecchio.tcl.5"), std::string::npos);
  client.SendTo(inPort, TotocalcioDeletion(5));
  EXPECT_TRUE(ConfirmsDeletion(replies.Receive(10000ms)));
  EXPECT_FALSE(fs::exists(moved / "nuovo.tcl.5"));
  EXPECT_TRUE(fs::exists(old / "vecchio.tcl.5"));
  EXPECT_NE(program->StandardError().find("the Documents folder is now " + WindowsUserFolder() +
                                          "\\Documenti"),
            std::string::npos)
      << program->StandardError();
}

TEST_F(WindowsDesktop, APortTakenAtStartIsShownAndAnotherIsChosenFromTheMenu) {
  UdpPeer holder;
  const std::uint16_t outPort = FreeUdpPort();
  const fs::path settings = WritePortsFile(holder.Port(), outPort);
  program = Start("desktop");

  // The message names the cause, captioned with the program's title (its .exe's name by the
  // title rule); start-up goes on once it is answered, with icon, caption and the cause below
  // the log.
  ASSERT_NE(WaitForError("Could not bind socket", 60), "") << program->StandardError();
  EXPECT_NE(
      program->StandardError().find(
          "quillmarch-varo-server: Could not bind socket. Address and port are already in use."),
      std::string::npos)
      << program->StandardError();
  const std::string box =
      FirstLine(WaitFor(10, [&] { return VisibleWindows("'^quillmarch-varo-server$'"); }));
  ASSERT_FALSE(box.empty()) << "no message box";
  // While the message waits for OK, the icon already says why, and has its warning look.
  const std::string taken = "Non in ascolto: porta " + std::to_string(holder.Port()) + " in uso";
  EXPECT_EQ(Probe({"--tray-tip"}), "Quillmarch Varo Server\n" + taken);
  EXPECT_EQ(TrayWarns(true), "yes") << "no warning look while the message is open";
  On("xdotool windowactivate --sync " + box);
  On("xdotool key --clearmodifiers Return");
  const std::string window = ShowByDoubleClick();
  ASSERT_FALSE(window.empty()) << "no icon, or it showed no window, after the message";
  EXPECT_EQ(ControlText("msctls_statusbar32"),
            "Non in ascolto: porta " + std::to_string(holder.Port()) +
                " in uso; risposte alla porta " + std::to_string(outPort));
  // The problem also stands above the log, whole, in the message area.
  EXPECT_EQ(ControlText("Static"),
            "Non in ascolto: porta " + std::to_string(holder.Port()) + " in uso");

  // Impostazioni > Porta d'ingresso by keyboard: the dialog shows the stored port selected, so
  // what is typed replaces it; Enter confirms.
  const std::uint16_t inPort = FreeUdpPort();
  On("xdotool windowactivate --sync " + window);
  On("xdotool key --clearmodifiers F10 Down Return");
  const std::string dialog =
      FirstLine(WaitFor(10, [&] { return VisibleWindows("'^Impostazione della porta$'"); }));
  ASSERT_FALSE(dialog.empty()) << "no port dialog";
  On("xdotool windowactivate --sync " + dialog);
  On("xdotool type --delay 50 " + std::to_string(inPort));
  On("xdotool key --clearmodifiers Return");
  ASSERT_NE(WaitForError("listening on input port " + std::to_string(inPort), 10), "")
      << program->StandardError();

  UdpPeer client;
  UdpPeer replies(outPort);
  client.SendTo(inPort, TotocalcioListRequest());
  const auto reply = replies.Receive(10000ms);
  ASSERT_TRUE(reply) << "no reply on the new port within 10 s";
  EXPECT_EQ(*reply, EmptyTotocalcioListReply());
  const auto status = ControlText("msctls_statusbar32");
  EXPECT_TRUE(SaysListening(status, inPort, outPort)) << status.value_or("no status line");
  EXPECT_EQ(ControlText("Static"), "");  // no problem is left to show
  EXPECT_EQ(TrayWarns(false), "no") << "the icon kept its warning look";
  // Stored; the file keeps the line ends it was written with.
  EXPECT_NE(FileBytes(settings).find("\nInPort=" + std::to_string(inPort) + "\n"),
            std::string::npos)
      << FileBytes(settings);
}

TEST_F(WindowsDesktop, TheTrayMenuShowsTheWindowThatFollowsAMonitorsScaleAndEndsTheProgram) {
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  WritePortsFile(inPort, outPort);
  program = Start("desktop");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();
  // Two lines for the log, whose line height tells its font.
  UdpPeer client;
  UdpPeer replies(outPort);
  client.SendTo(inPort, TotocalcioListRequest());
  ASSERT_TRUE(replies.Receive(10000ms)) << "no reply within 10 s";
  ASSERT_TRUE(program->WaitForOutputLines(2, 10));

  // "Mostra" shows the window with its log, as a double-click does.
  ASSERT_TRUE(ChooseFromTrayMenu(0)) << "a right-click on the icon showed no menu";
  ASSERT_NE(WaitFor(10, [&] { return VisibleWindows(); }), "") << "\"Mostra\" showed no window";
  const std::string output = program->StandardOutput();
  EXPECT_EQ(ControlText("Edit"), output.substr(0, output.size() - 2));

  // Moved to a monitor at 144 dots per inch (from Wine's 96): the window takes the rectangle
  // Windows suggests, and the log's lines and the status line grow with the font.
  const auto moved = Probe({"--dpi", "144", "40", "30", "864", "542"});
  ASSERT_TRUE(moved);
  std::array<int, 8> printed{};
  std::istringstream numbers(*moved);
  for (int& number : printed) numbers >> number;
  const auto [lineBefore, lineAfter, statusBefore, statusAfter, left, top, right, bottom] = printed;
  EXPECT_GT(lineBefore, 0) << *moved;
  EXPECT_GT(lineAfter, lineBefore) << *moved;
  EXPECT_GT(statusAfter, statusBefore) << *moved;
  EXPECT_EQ((std::array{left, top, right, bottom}), (std::array{40, 30, 864, 542})) << *moved;

  // "Esci", from a menu opened again, ends the program as closing the window does.
  ASSERT_TRUE(ChooseFromTrayMenu(2)) << "the menu did not open a second time";
  EXPECT_EQ(program->WaitExit(10), 0) << program->StandardError();
  EXPECT_NO_THROW(UdpPeer{inPort}) << "the input port is still taken";
  EXPECT_EQ(WaitFor(10, [&] { return TrayIcons().empty() ? "gone" : ""; }), "gone");
}

TEST_F(WindowsDesktop, EveryNameShowsWholeAndTheWindowHasTheSystemsScaleFromItsFirstPaint) {
  // Documents in a folder whose name holds "&", without its Totogol folder, and an output port
  // that is no number: the status line names the path, the tip the setting.
  fs::create_directories(User() / "Rossi & Figli/Quillmarch/Quillmarch Varo Server/Totocalcio");
  ASSERT_EQ(RunInPrefix({"reg", "add",
                         "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
                         "Shell Folders",
                         "/v", "Personal", "/t", "REG_EXPAND_SZ", "/d",
                         WindowsUserFolder() + "\\Rossi & Figli", "/f"},
                        "reg"),
            0);
  const std::uint16_t inPort = FreeUdpPort();
  const std::string port = std::to_string(inPort);
  WriteBytes(WritePortsFile(inPort, 7000), "[Comunicazione]\nInPort=" + port + "\nOutPort=7&7\n");
  const std::string totogol =
      WindowsUserFolder() + "\\Rossi & Figli\\Quillmarch\\Quillmarch Varo Server\\Totogol";

  // Started at 96 and at 144 dots per inch, the window is sized for the scale when first shown:
  // the log's area 549 x 302 at 96 (with the message area above it), the window's icons 32 and
  // 16; and a monitor of the other scale gets the icons of its own.
  const struct {
    int Dpi, Width, LogHeight;
    std::string Icons;
    int MovedTo;
    std::string MovedIcons;
  } cases[] = {
      {96, 549, 302, "32 16", 144, "48 24"},
      {144, 824, 453, "48 24", 96, "32 16"},
  };
  std::vector<int> lineHeights;
  for (const auto& c : cases) {
    SetSystemDpi(c.Dpi);
    program = Start("at" + std::to_string(c.Dpi));
    ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();
    // Wine's notification area reads "&&" as one "&"; the status line's tooltip shows "&" as
    // it is.
    EXPECT_TRUE(Probe({"--tray-tip"})
                    .value_or("")
                    .starts_with("Quillmarch Varo Server\nOutPort=7&&7 non \xC3\xA8 un numero; "
                                 "cartella Totogol mancante; in ascolto sulla porta " +
                                 port))
        << c.Dpi;
    const auto statusTip = Probe({"--status-tip"});
    EXPECT_TRUE(statusTip.value_or("").starts_with(
        "1 OutPort=7&7 non \xC3\xA8 un numero: si usa la porta 7000; cartella Totogol mancante: " +
        totogol + "; in ascolto sulla porta " + port))
        << statusTip.value_or("no tooltip");

    // Two lines in the log, whose distance tells its font.
    UdpPeer client;
    client.SendTo(inPort, TotocalcioListRequest());
    ASSERT_TRUE(program->WaitForOutputLines(2, 10)) << program->StandardError();
    const std::string window = ShowByDoubleClick();
    ASSERT_FALSE(window.empty()) << "no window";
    const auto layout = Probe({"--layout"});
    ASSERT_TRUE(layout);
    std::array<int, 7> printed{};
    std::istringstream numbers(*layout);
    for (int& number : printed) numbers >> number;
    const auto [width, height, log, messages, status, line, scrollBar] = printed;
    EXPECT_EQ(width, c.Width) << *layout;
    EXPECT_EQ(log + messages, c.LogHeight) << *layout;
    EXPECT_GT(messages, 0) << *layout;
    EXPECT_EQ(height, log + messages + status) << *layout;
    EXPECT_EQ(scrollBar, 0) << "the log has a scroll bar";
    lineHeights.push_back(line);
    EXPECT_EQ(WindowIcons(window), c.Icons);

    ASSERT_TRUE(Probe({"--dpi", std::to_string(c.MovedTo), "40", "30", "864", "542"}));
    EXPECT_EQ(WaitFor(5,
                      [&] {
                        const std::string icons = WindowIcons(window);
                        return icons == c.MovedIcons ? icons : "";
                      }),
              c.MovedIcons);
    ASSERT_TRUE(Close(window));
    ASSERT_EQ(program->WaitExit(10), 0) << program->StandardError();
  }
  // A line of the log is half as tall again at 144 as at 96, to a pixel.
  ASSERT_EQ(lineHeights.size(), 2u);
  EXPECT_GT(lineHeights[0], 0);
  EXPECT_NEAR(lineHeights[1] * 2, lineHeights[0] * 3, 2) << lineHeights[0] << " " << lineHeights[1];
}

TEST_F(WindowsDesktop, TheEventLogKeepsDeletionsAndOneThatCannotBeWrittenLeavesRequestsAnswered) {
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  WritePortsFile(inPort, outPort);
  const fs::path totocalcio = TotocalcioFolderIn(User());
  WriteBytes(totocalcio / "s.tcl.7", Columns(1, 0x01));
  WriteBytes(totocalcio / "s.tcl.8", Columns(1, 0x01));
  const fs::path logFolder = User() / "AppData/Local/Quillmarch/Quillmarch Varo Server";
  UdpPeer client;
  UdpPeer replies(outPort);
  const auto deleted = [&](std::uint8_t code) {
    client.SendTo(inPort, TotocalcioDeletion(code));
    return ConfirmsDeletion(replies.Receive(10000ms));
  };

  // The deletion stands in the log with who asked and the path, the end of the program after it.
  program = Start("logged");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();
  ASSERT_TRUE(deleted(7)) << program->StandardError();
  // "Registro eventi" in the icon's menu opens the log in the system's viewer.
  ASSERT_TRUE(ChooseFromTrayMenu(1)) << "a right-click on the icon showed no menu";
  EXPECT_NE(WaitFor(20, [&] { return VisibleWindows("eventi"); }), "")
      << "no viewer showed the log";
  ASSERT_TRUE(ChooseFromTrayMenu(2)) << "the menu did not open a second time";
  EXPECT_EQ(program->WaitExit(10), 0) << program->StandardError();
  const std::string log = FileBytes(logFolder / "eventi.log");
  const std::string deletionLine =
      " cancellato su richiesta di 127.0.0.1 (porta " + std::to_string(client.Port()) +
      "): C:\\users\\" + User().filename().string() +
      "\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totocalcio\\s.tcl.7\r\n";
  const std::size_t at = log.find(deletionLine);
  ASSERT_NE(at, std::string::npos) << log;
  // In Italian, its date and time once, in a file that begins with a UTF-8 byte-order mark so
  // every Notepad reads its accents.
  const std::size_t start = log.rfind('\n', at) + 1;
  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)";
  EXPECT_TRUE(std::regex_match(log.substr(start, at - start), std::regex(stamp))) << log;
  EXPECT_TRUE(log.starts_with("\xEF\xBB\xBF")) << log;
  EXPECT_TRUE(std::regex_search(log, std::regex(stamp + " arresto del programma\r\n$"))) << log;

  // A file where the log's folder belongs: requests are answered all the same, and standard
  // error tells of the log once.
  fs::remove_all(logFolder);
  WriteBytes(logFolder, "in the way");
  program = Start("unwritable");
  ASSERT_NE(WaitForError("listening on input port", 60), "") << program->StandardError();
  EXPECT_TRUE(deleted(8)) << program->StandardError();
  EXPECT_FALSE(fs::exists(totocalcio / "s.tcl.8"));
  const std::string err = WaitForError("deleted at the request of", 10);
  const std::size_t warning = err.find("cannot write the event log: ");
  ASSERT_NE(warning, std::string::npos) << err;
  EXPECT_EQ(err.find("cannot write the event log", warning + 1), std::string::npos) << err;
  // The status line says so too, first, where the user of a tray program looks.
  const auto status = ControlText("msctls_statusbar32");
  EXPECT_TRUE(status.value_or("").starts_with("Registro eventi non scrivibile; "))
      << status.value_or("no status line");
}

}  // namespace
}  // namespace varo::test
