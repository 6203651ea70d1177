#include "shell/ListenerStatus.h"

#include <algorithm>
#include <utility>

#include "endpoint/UDPServer.h"
#include "platform/FolderWatch.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

// What a problem is about, without its detail: "cartella Totocalcio mancante".
std::string Headline(const std::string& problem) {
  return problem.substr(0, problem.find(':'));
}

// The text with its first letter a capital, as a line or a sentence begins.
std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

// Marks where a text was cut.
constexpr const char* Ellipsis = "\xE2\x80\xA6";

// The UTF-16 units of a UTF-8 text, as a tip's field counts them: two for a character beyond the
// basic plane (a four-byte sequence), one for any other.
std::size_t Utf16Units(const std::string& text) {
  std::size_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

// The end of the character that starts at i.
std::size_t CharacterEnd(const std::string& text, std::size_t i) {
  do {
    ++i;
  } while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
  return i;
}

// The text as a notification area that reads "&" that way must be given it to show every "&".
std::string WrittenFor(const std::string& text, TipAmpersands ampersands) {
  if (ampersands == TipAmpersands::AsIs) return text;
  std::string written;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      written += text[i];
    } else if (ampersands == TipAmpersands::StrippedThenPrefixed &&
               (i == 0 || text[i - 1] != '&')) {
      written += "&&&";  // the area takes one away and reads the other two as one
    } else {
      written += "&&";
    }
  }
  return written;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string line;
  for (const std::string& part : parts) line += (line.empty() ? "" : "; ") + part;
  return line;
}

}  // namespace

ListenerStatus ListeningOn(std::int32_t inputPort, std::int32_t outputPort) {
  ListenerStatus status;
  status.InputPort = inputPort;
  status.OutputPort = outputPort;
  return status;
}

ListenerStatus NotListening(std::int32_t inputPort, std::int32_t outputPort,
                            const std::exception& error) {
  ListenerStatus status = ListeningOn(inputPort, outputPort);
  status.Failure = BindFailure::Other;
  status.FailureText = error.what();
  if (const auto* bind = dynamic_cast<const BindError*>(&error)) status.Failure = bind->Why();
  return status;
}

std::vector<std::string> Problems(const ListenerStatus& status) {
  std::vector<std::string> problems;
  if (!status.Listening()) {
    problems.push_back(
        texts::NotListeningBecause(*status.Failure, status.InputPort, status.FailureText));
  }
  problems.insert(problems.end(), status.Notes.begin(), status.Notes.end());
  if (!status.AccessProblem.empty()) {
    problems.push_back(texts::AccessEntryNotValid(status.AccessProblem));
  }
  return problems;
}

std::vector<std::string> MessageLines(const ListenerStatus& status) {
  std::vector<std::string> lines = Problems(status);
  for (std::string& line : lines) line = Capitalised(std::move(line));
  return lines;
}

std::string StatusLine(const ListenerStatus& status) {
  std::vector<std::string> parts = Problems(status);
  if (status.Listening()) {
    parts.push_back(texts::ListeningOnPort(status.InputPort) +
                    texts::StatusLineAddresses(status.Addresses));
  }
  parts.push_back(texts::RepliesToPort(status.OutputPort));
  if (status.Refused > 0)
    parts.push_back(texts::RefusedRequests(status.Refused, status.LastRefused));
  return Capitalised(Joined(parts));
}

std::string TrayTip(const ListenerStatus& status, const TipField& field) {
  const std::string title = std::string(texts::ProductName) + "\n";
  const auto written = [&](const std::string& state) {
    return WrittenFor(title + state, field.Ampersands);
  };
  const auto fits = [&](const std::string& state) {
    return field.Units == 0 || Utf16Units(written(state)) <= field.Units;
  };
  std::vector<std::string> parts = Problems(status);
  // What each problem is about; why the endpoint does not listen is itself that.
  for (std::size_t i = status.Listening() ? 0 : 1; i < parts.size(); ++i) {
    parts[i] = Headline(parts[i]);
  }
  // The problems come first, each whole; those that do not fit are counted.
  std::size_t hidden = 0;
  std::string state = Capitalised(Joined(parts));
  while (!fits(state) && parts.size() > 1) {
    parts.pop_back();
    ++hidden;
    state = Capitalised(Joined(parts)) + texts::TrayTipMoreProblems(hidden);
  }
  if (!fits(state)) {
    // A first problem longer than the tip: as much of it as fits, whole characters only.
    const std::string first = Capitalised(parts.front());
    const std::string more = Ellipsis + texts::TrayTipMoreProblems(hidden);
    std::size_t end = 0;
    while (end < first.size()) {
      const std::size_t next = CharacterEnd(first, end);
      if (!fits(first.substr(0, next) + more)) break;
      end = next;
    }
    return written(first.substr(0, end) + more);
  }
  if (hidden > 0 || !status.Listening()) return written(state);

  const std::string port = (state.empty() ? "" : "; ") + texts::ListeningOnPort(status.InputPort);
  if (!fits(state + port)) return written(state);
  state = Capitalised(state + port);
  // As many addresses as fit, then how many did not.
  for (std::size_t shown = status.Addresses.size();; --shown) {
    const std::vector<std::string> some(
        status.Addresses.begin(), status.Addresses.begin() + static_cast<std::ptrdiff_t>(shown));
    const std::string addresses = texts::TrayTipAddresses(some, status.Addresses.size() - shown);
    if (shown == 0 || fits(state + addresses)) return written(state + addresses);
  }
}

std::string StatusReport(const ListenerStatus& status) {
  const std::string replies = "replies to output port " + std::to_string(status.OutputPort);
  if (status.Listening()) {
    return "listening on input port " + std::to_string(status.InputPort) + ", " + replies;
  }
  const char* lead =
      *status.Failure == BindFailure::Other ? "not listening on " : "not listening: ";
  return lead + FailureReport(status) + " (" + replies + ")";
}

std::string FailureReport(const ListenerStatus& status) {
  const std::string in = "input port " + std::to_string(status.InputPort);
  switch (status.Failure.value_or(BindFailure::Other)) {
    case BindFailure::InUse:
      return in + " is in use by another program";
    case BindFailure::NotPermitted:
      return in + " may not be used by this user";
    case BindFailure::InvalidPort:
      return in + " is not a port number from 1 to 65535";
    case BindFailure::NoResources:
      return "no socket could be made for " + in + ", the system has no descriptors left";
    case BindFailure::Other:
      break;
  }
  return in + ": " + status.FailureText;
}

std::string StatusEvent(const ListenerStatus& status) {
  if (status.Listening()) {
    return texts::ListeningOnPort(status.InputPort) + ", " +
           texts::RepliesToPort(status.OutputPort);
  }
  return texts::NotListeningBecause(*status.Failure, status.InputPort, status.FailureText) + " (" +
         texts::RepliesToPort(status.OutputPort) + ")";
}

std::vector<ReportedEvent> StartReport(const std::string& version, const ListenerStatus& status,
                                       const AccessRule& rule, const ArchiveFolders& folders) {
  std::vector<ReportedEvent> report{
      {version, texts::StartedEvent(version)},
      {StatusReport(status), StatusEvent(status)},
      {"answering requests from " + DescribeAccessRule(rule), texts::WhoMayAskEvent(rule)}};
  for (const auto& [game, folder] :
       {std::pair<const char*, const std::string&>{"Totocalcio", folders.TotocalcioFolder},
        {"Totogol", folders.TotogolFolder}}) {
    const bool present = FolderIdentityOf(folder).has_value();
    report.push_back(
        {FolderReport(game, folder, present), texts::FolderEvent(game, folder, present)});
  }
  return report;
}

std::string FolderReport(const char* game, const std::string& folder, bool present) {
  return std::string(game) + " systems: " + (present ? "" : "missing ") + folder;
}

std::string AccessProblemReport(const std::string& entry) {
  return "[Accesso] Reti: cannot read the entry \"" + entry + "\"; answering local networks only";
}

}  // namespace varo
