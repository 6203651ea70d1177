// A virtual X display for tests that show windows and tray icons: Xvfb alone, or with a window
// manager (openbox) and a panel whose notification area holds tray icons (tint2). The helpers
// beside it find programs, run short X tools on a display and poll for an answer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "posix/ChildProcess.h"

namespace varo::test {

// The program's path in PATH, or "" when it is not there.
std::string FindProgram(const std::string& name);

// Runs a short command through the shell on the display, bounded to five seconds, and returns its
// standard output.
std::string RunOn(const std::string& display, const std::string& command);

// Polls every 100 ms until check() gives a non-empty answer or the seconds pass; the last answer.
std::string WaitFor(double seconds, const std::function<std::string()>& check);

std::string FirstLine(const std::string& text);

// Closes the window as a user does, Alt+F4 through the window manager once it is active, and
// waits until it is no longer shown. A press the manager missed while busy is pressed again, at
// most three times in all; false when the window is still shown after that.
bool CloseWithKeyboard(const std::string& display, const std::string& window);

// Ends a helper process politely (SIGTERM), then for sure after three seconds; by its own id.
void Stop(std::unique_ptr<ChildProcess>& child);

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
                      const std::filesystem::path& folder, std::unique_ptr<ChildProcess>& xserver);

// Xvfb, openbox and tint2, started together and ended together.
class VirtualDesktop {
 public:
  // What of Xvfb, openbox, tint2 and xdotool is not installed, "" when all are.
  static std::string Missing();

  // Logs of the three programs go to folder; env is the environment they start with.
  VirtualDesktop(const Environment& env, const std::filesystem::path& folder);
  ~VirtualDesktop();
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;

  // Starts the display, the window manager and the panel (unless withPanel is false), and waits
  // (at most ten seconds each) for the display and for the panel's notification area; true when
  // both came.
  bool Start(bool withPanel = true);
  // Starts the panel on the running display, as Start does, for a desktop whose panel comes late.
  bool StartPanel();
  // The display's name, as DISPLAY takes it, once the display has started; "" before.
  const std::string& Display() const { return display_; }
  // What the three programs wrote, for a failure's message.
  std::string Output() const;

 private:
  Environment env_;
  std::filesystem::path folder_;
  std::string display_;
  std::unique_ptr<ChildProcess> xserver_;
  std::unique_ptr<ChildProcess> manager_;
  std::unique_ptr<ChildProcess> panel_;
};

}  // namespace varo::test
