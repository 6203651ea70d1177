// The desktop program from its start to its end, the same steps in the same order on both systems:
// the crash reporter, the command line, the event log, the settings folder, the single-instance
// guard, the main window and what a start tells on it, the event loop and the orderly end. What a
// toolkit does its own way is asked of the program's DesktopToolkit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/DesktopServer.h"

namespace varo {

// The steps each desktop program takes its own way. RunDesktopProgram calls them in the order they
// are declared here, HelpNotes first and DropWindow last, a start that ends early skipping some;
// PresentWindow also whenever a later start asks for the window.
class DesktopToolkit {
 public:
  virtual ~DesktopToolkit() = default;

  // What --help adds on this system: notes after the program's description, and the causes of
  // exit code 1 after "start-up fails" (CommandLineAnswer's systemNotes and failureCauses).
  virtual std::string HelpNotes() const = 0;
  virtual std::string HelpFailureCauses() const = 0;
  // The command line asked for no answer: the process is made ready before the event log opens
  // and anything is written.
  virtual void PrepareProcess() {}
  // The settings folder, and making it with any missing parent: false, or an exception, when it
  // cannot be made.
  virtual std::string SettingsFolder() = 0;
  virtual bool MakeSettingsFolder() = 0;
  // This start is the running instance: sets the toolkit up, and from now on a stop request
  // (Linux: SIGTERM, SIGINT) closes the window, or, before there is one, leaves any event loop
  // running. Returns what is left of arguments (the program's name left out) once the toolkit
  // took its own.
  virtual std::vector<std::string> StartToolkit(const std::vector<std::string>& arguments) = 0;
  // From now on the event loop calls knocked whenever handle, the guard's KnockHandle (never -1),
  // signals, also in the loop of a message open at start-up; until StopWatchingShowRequests.
  virtual void WatchShowRequests(int handle, std::function<void()> knocked) = 0;
  // Builds the main window hidden and starts serving; a port that cannot be bound is shown to the
  // user meanwhile. Returns the window's server; throws when the window cannot be made.
  virtual DesktopServer& MakeWindow() = 0;
  // Tells the user, on standard error and in a message, why the window could not be made.
  virtual void ReportStartUpFailure(const std::string& reason) = 0;
  // Shows text once in a balloon at the tray icon.
  virtual void ShowTrayBalloon(const std::string& text) = 0;
  // Whether serving on is of use to anybody; when not, says why on standard error, and the
  // program ends with exit code 1.
  virtual bool MayGoOn() { return true; }
  // Shows, restores and raises the window, unless nobody could see it or a stop was requested.
  virtual void PresentWindow() = 0;
  // Runs the event loop until the window is closed; returns at once when a stop was requested
  // before it.
  virtual void RunEventLoop() = 0;
  // Show requests are no longer watched; the guard is let go next.
  virtual void StopWatchingShowRequests() = 0;
  // Destroys the window, whose server has stopped; nothing when there is none.
  virtual void DropWindow() = 0;
};

// Runs the desktop program with its arguments (the program's name left out) through toolkit;
// returns the exit code: 0 at a normal end, after an answer on the command line and when another
// instance of this user runs; 1 when start-up fails.
int RunDesktopProgram(DesktopToolkit& toolkit, const std::vector<std::string>& arguments);

}  // namespace varo
