#include "shell/ListenerStatus.h"

#include <filesystem>
#include <system_error>

#include "endpoint/UDPServer.h"

namespace varo {

namespace {

ListenFailure FailureOf(BindFailure why) {
  switch (why) {
    case BindFailure::InUse:
      return ListenFailure::InUse;
    case BindFailure::NotPermitted:
      return ListenFailure::NotPermitted;
    case BindFailure::InvalidPort:
      return ListenFailure::InvalidPort;
    case BindFailure::Other:
      break;
  }
  return ListenFailure::Other;
}

std::string FolderLine(const char* game, const std::string& folder) {
  std::error_code ignored;
  const bool present = std::filesystem::is_directory(folder, ignored);
  return std::string(game) + " systems: " + (present ? "" : "missing ") + folder;
}

}  // namespace

ListenerStatus ListeningOn(std::int32_t inputPort, std::int32_t outputPort) {
  return ListenerStatus{inputPort, outputPort, ListenFailure::None, ""};
}

ListenerStatus NotListening(std::int32_t inputPort, std::int32_t outputPort,
                            const std::exception& error) {
  ListenerStatus status{inputPort, outputPort, ListenFailure::Other, error.what()};
  if (const auto* bind = dynamic_cast<const BindError*>(&error))
    status.Failure = FailureOf(bind->Why());
  return status;
}

std::string StatusLine(const ListenerStatus& status) {
  const std::string in = std::to_string(status.InputPort);
  const std::string replies = "; risposte alla porta " + std::to_string(status.OutputPort);
  switch (status.Failure) {
    case ListenFailure::None:
      return "In ascolto sulla porta " + in + replies;
    case ListenFailure::InUse:
      return "Non in ascolto: porta " + in + " in uso" + replies;
    case ListenFailure::NotPermitted:
      return "Non in ascolto: porta " + in + " non permessa" + replies;
    case ListenFailure::InvalidPort:
      return "Non in ascolto: porta " + in + " non valida" + replies;
    case ListenFailure::Other:
      break;
  }
  return "Non in ascolto sulla porta " + in + ": " + status.FailureText + replies;
}

std::string StatusReport(const ListenerStatus& status) {
  const std::string in = "input port " + std::to_string(status.InputPort);
  const std::string replies = "replies to output port " + std::to_string(status.OutputPort);
  switch (status.Failure) {
    case ListenFailure::None:
      return "listening on " + in + ", " + replies;
    case ListenFailure::InUse:
      return "not listening: " + in + " is in use by another program (" + replies + ")";
    case ListenFailure::NotPermitted:
      return "not listening: " + in + " may not be used by this user (" + replies + ")";
    case ListenFailure::InvalidPort:
      return "not listening: " + in + " is not a port number from 0 to 65535 (" + replies + ")";
    case ListenFailure::Other:
      break;
  }
  return "not listening on " + in + ": " + status.FailureText + " (" + replies + ")";
}

std::vector<std::string> StartReport(const std::string& version, const ListenerStatus& status,
                                     const ArchiveFolders& folders) {
  return {version, StatusReport(status), FolderLine("Totocalcio", folders.TotocalcioFolder),
          FolderLine("Totogol", folders.TotogolFolder)};
}

}  // namespace varo
