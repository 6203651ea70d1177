#include "shell/ListenerStatus.h"

#include <filesystem>
#include <system_error>

#include "endpoint/UDPServer.h"

namespace varo {

namespace {

std::string FolderLine(const char* game, const std::string& folder) {
  std::error_code ignored;
  const bool present = std::filesystem::is_directory(folder, ignored);
  return std::string(game) + " systems: " + (present ? "" : "missing ") + folder;
}

}  // namespace

ListenerStatus ListeningOn(std::int32_t inputPort, std::int32_t outputPort) {
  return ListenerStatus{inputPort, outputPort, std::nullopt, "", 0, "", {}};
}

ListenerStatus NotListening(std::int32_t inputPort, std::int32_t outputPort,
                            const std::exception& error) {
  ListenerStatus status{inputPort, outputPort, BindFailure::Other, error.what(), 0, "", {}};
  if (const auto* bind = dynamic_cast<const BindError*>(&error)) status.Failure = bind->Why();
  return status;
}

std::string StatusLine(const ListenerStatus& status) {
  const std::string in = std::to_string(status.InputPort);
  std::string replies = "; risposte alla porta " + std::to_string(status.OutputPort);
  if (!status.AccessProblem.empty()) {
    replies +=
        "; [Accesso] Reti: voce \"" + status.AccessProblem + "\" non valida, solo reti locali";
  }
  if (status.Refused > 0) replies += "; richieste rifiutate: " + std::to_string(status.Refused);
  for (const std::string& note : status.Notes) replies += "; " + note;
  if (status.Listening()) return "In ascolto sulla porta " + in + replies;
  switch (*status.Failure) {
    case BindFailure::InUse:
      return "Non in ascolto: porta " + in + " in uso" + replies;
    case BindFailure::NotPermitted:
      return "Non in ascolto: porta " + in + " non permessa" + replies;
    case BindFailure::InvalidPort:
      return "Non in ascolto: porta " + in + " non valida" + replies;
    case BindFailure::Other:
      break;
  }
  return "Non in ascolto sulla porta " + in + ": " + status.FailureText + replies;
}

std::string StatusReport(const ListenerStatus& status) {
  const std::string in = "input port " + std::to_string(status.InputPort);
  const std::string replies = "replies to output port " + std::to_string(status.OutputPort);
  if (status.Listening()) return "listening on " + in + ", " + replies;
  switch (*status.Failure) {
    case BindFailure::InUse:
      return "not listening: " + in + " is in use by another program (" + replies + ")";
    case BindFailure::NotPermitted:
      return "not listening: " + in + " may not be used by this user (" + replies + ")";
    case BindFailure::InvalidPort:
      return "not listening: " + in + " is not a port number from 0 to 65535 (" + replies + ")";
    case BindFailure::Other:
      break;
  }
  return "not listening on " + in + ": " + status.FailureText + " (" + replies + ")";
}

std::vector<std::string> StartReport(const std::string& version, const ListenerStatus& status,
                                     const std::string& whoMayAsk, const ArchiveFolders& folders) {
  return {version, StatusReport(status), "answering requests from " + whoMayAsk,
          FolderLine("Totocalcio", folders.TotocalcioFolder),
          FolderLine("Totogol", folders.TotogolFolder)};
}

std::string AccessProblemReport(const std::string& entry) {
  return "[Accesso] Reti: cannot read the entry \"" + entry + "\"; answering local networks only";
}

}  // namespace varo
