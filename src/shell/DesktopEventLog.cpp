#include "shell/DesktopEventLog.h"
#include "records/ErrorLine.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "platform/KnownFolders.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

std::string ProblemNote(EventLogProblem problem) {
  switch (problem) {
    case EventLogProblem::None:
      return "";
    case EventLogProblem::NotWritable:
      return texts::EventLogNotWritable;
    case EventLogProblem::NotPassedOn:
      return texts::EventLogNotPassedOn;
  }
  return "";
}

}  // namespace

DesktopEventLog::DesktopEventLog() : log_(EventLogFolder(), texts::UnwrittenEvents) {
  KeepEvents([this](std::string_view event) { log_.Write(event); });
}

DesktopEventLog::~DesktopEventLog() {
  KeepEvents({});
}

std::string AsSentences(const std::string& text) {
  std::string joined;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    if (!joined.empty()) {
      // A line that ends without a stop was a heading: it ends its sentence here.
      if (std::string_view(".!?:;").find(joined.back()) == std::string_view::npos) {
        joined.push_back('.');
      }
      joined.push_back(' ');
    }
    joined += line;
  }
  return joined;
}

void TellShownMessage(Severity severity, const std::string& caption, const std::string& text) {
  // One event, one line: the message as the user read it; the operator's line names the program.
  const std::string shown = AsSentences(text);
  WriteEvent(severity, caption + ": " + shown, shown);
}

void DesktopEventLog::ShowProblemsOn(DesktopServer* server) {
  server_ = server;
  // Asked again, so a problem met before the server existed shows at once.
  log_.OnProblemChanged([this](EventLogProblem problem) {
    if (server_ != nullptr) server_->SetNote(NoteKey::EventLog, ProblemNote(problem));
  });
}

void ShowEventLog(
    UserDialogs& dialogs, const std::string& title,
    const std::function<void(const std::string& path, std::function<void()> failed)>& open) {
  const std::string folder = EventLogFolder();
  std::string path;
  try {
    path = EventLog(folder, texts::UnwrittenEvents).Prepare();
  } catch (const std::exception& error) {
    dialogs.ShowMessage(title, std::string(texts::EventLogNotMade) + "\n" + error.what());
    return;
  }
  open(path, [&dialogs, title, path] {
    dialogs.ShowMessage(title, std::string(texts::EventLogNotOpened) + "\n" + path);
  });
}

}  // namespace varo
