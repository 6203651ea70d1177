// The desktop program's event log: while one exists, every event told on standard error is also
// kept, in the user's words and with its date and time, in the event log file the user can open
// from the menu.
#pragma once

#include <functional>
#include <string>

#include "platform/StandardStreams.h"
#include "records/EventLog.h"
#include "shell/DesktopServer.h"
#include "shell/UserDialogs.h"

namespace varo {

// The line standard error and the event log get when the program ends normally.
inline constexpr const char* StopReport = "quillmarch-varo-server: stopped";

class DesktopEventLog {
 public:
  // The log in the user's event log folder, receiving every event from now on.
  DesktopEventLog();
  // Events are no longer kept.
  ~DesktopEventLog();
  DesktopEventLog(const DesktopEventLog&) = delete;
  DesktopEventLog& operator=(const DesktopEventLog&) = delete;

  // Shows on server's status line whether the log can be written, now and whenever that changes;
  // nullptr stops it, before the server goes.
  void ShowProblemsOn(DesktopServer* server);

 private:
  EventLog log_;
  DesktopServer* server_ = nullptr;
};

// The lines of a message as one line of sentences: a line that ends without a stop gets one.
std::string AsSentences(const std::string& text);

// Tells the event log of a message shown to the user as the user read it, on one line of
// sentences, and standard error the same after the caption (the program's name), so both systems
// keep the same messages.
void TellShownMessage(Severity severity, const std::string& caption, const std::string& text);

// "Registro eventi": makes the event log file exist (empty when new) and hands its path to open,
// which starts the system's viewer and calls failed, on the main thread, if it cannot be started
// or ends with an error (at once or later); the user is told, captioned title, with the file's
// path. The dialogs must outlive the viewer's end.
void ShowEventLog(
    UserDialogs& dialogs, const std::string& title,
    const std::function<void(const std::string& path, std::function<void()> failed)>& open);

}  // namespace varo
