#include "shell/ListenerStatus.h"

#include "endpoint/UDPServer.h"
#include "platform/FolderWatch.h"
#include "shell/DesktopTexts.h"

namespace varo {

namespace {

// What a note is about, without its detail: "cartella Totocalcio mancante".
std::string Headline(const std::string& note) {
  return note.substr(0, note.find(':'));
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

std::string StatusLine(const ListenerStatus& status) {
  std::string line =
      status.Listening()
          ? texts::ListeningOnPort(status.InputPort) + texts::StatusLineAddresses(status.Addresses)
          : texts::NotListeningBecause(*status.Failure, status.InputPort, status.FailureText);
  line += "; " + texts::RepliesToPort(status.OutputPort);
  if (!status.AccessProblem.empty()) {
    line += "; " + texts::AccessEntryNotValid(status.AccessProblem);
  }
  if (status.Refused > 0) line += "; " + texts::RefusedRequests(status.Refused, status.LastRefused);
  for (const std::string& note : status.Notes) line += "; " + note;
  return line;
}

std::string TrayTip(const ListenerStatus& status) {
  std::string state =
      status.Listening()
          ? texts::ListeningOnPort(status.InputPort) + texts::TrayTipAddresses(status.Addresses)
          : texts::NotListeningBecause(*status.Failure, status.InputPort, status.FailureText);
  for (const std::string& note : status.Notes) state += "; " + Headline(note);
  return std::string(texts::ProductName) + "\n" + state;
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

std::vector<std::string> StartReport(const std::string& version, const ListenerStatus& status,
                                     const std::string& whoMayAsk, const ArchiveFolders& folders) {
  return {version, StatusReport(status), "answering requests from " + whoMayAsk,
          FolderReport("Totocalcio", folders.TotocalcioFolder,
                       FolderIdentityOf(folders.TotocalcioFolder).has_value()),
          FolderReport("Totogol", folders.TotogolFolder,
                       FolderIdentityOf(folders.TotogolFolder).has_value())};
}

std::string FolderReport(const char* game, const std::string& folder, bool present) {
  return std::string(game) + " systems: " + (present ? "" : "missing ") + folder;
}

std::string AccessProblemReport(const std::string& entry) {
  return "[Accesso] Reti: cannot read the entry \"" + entry + "\"; answering local networks only";
}

}  // namespace varo
