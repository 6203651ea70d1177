#include "shell/ListenerStatus.h"

#include "endpoint/UDPServer.h"
#include "platform/FolderWatch.h"

namespace varo {

namespace {

// Where the menu leads to another input port.
constexpr const char* ChooseAnother = "sceglierne un'altra da Impostazioni › Porta d'ingresso.";

// Why the endpoint does not listen, in a few words after the port: "porta 7770 in uso".
std::string WhyNot(const ListenerStatus& status) {
  const std::string port = "porta " + std::to_string(status.InputPort);
  switch (*status.Failure) {
    case BindFailure::InUse:
      return port + " in uso";
    case BindFailure::NotPermitted:
      return port + " non permessa";
    case BindFailure::InvalidPort:
      return port + " non valida";
    case BindFailure::NoResources:
      return port + " non aperta: il sistema non ha più risorse";
    case BindFailure::Other:
      break;
  }
  return port + ": " + status.FailureText;
}

std::string AddressList(const std::vector<std::string>& addresses) {
  std::string list;
  for (const std::string& address : addresses) list += (list.empty() ? "" : ", ") + address;
  return list;
}

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
  std::string line;
  if (status.Listening()) {
    line = "In ascolto sulla porta " + std::to_string(status.InputPort);
    switch (status.Addresses.size()) {
      case 0:
        line += ", solo da questo computer (nessuna rete attiva)";
        break;
      case 1:
        line += " all'indirizzo " + status.Addresses[0];
        break;
      default:
        line += " agli indirizzi " + AddressList(status.Addresses);
        break;
    }
  } else {
    line = "Non in ascolto: " + WhyNot(status);
  }
  line += "; risposte alla porta " + std::to_string(status.OutputPort);
  if (!status.AccessProblem.empty()) {
    line += "; [Accesso] Reti: voce \"" + status.AccessProblem + "\" non valida, solo reti locali";
  }
  if (status.Refused > 0) {
    line += "; richieste rifiutate: " + std::to_string(status.Refused);
    if (!status.LastRefused.empty()) line += " (l'ultima da " + status.LastRefused + ")";
  }
  for (const std::string& note : status.Notes) line += "; " + note;
  return line;
}

std::string TrayTip(const ListenerStatus& status) {
  std::string state;
  if (status.Listening()) {
    state = "In ascolto sulla porta " + std::to_string(status.InputPort);
    if (!status.Addresses.empty()) state += " di " + AddressList(status.Addresses);
  } else {
    state = "Non in ascolto: " + WhyNot(status);
  }
  for (const std::string& note : status.Notes) state += "; " + Headline(note);
  return "Quillmarch Varo Server\n" + state;
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

std::string InputPortAdvice(BindFailure why, std::int32_t port) {
  const std::string named = "La porta " + std::to_string(port);
  switch (why) {
    case BindFailure::InUse:
      return named + " è usata da un altro programma: " + ChooseAnother;
    case BindFailure::NotPermitted:
      return named + " è riservata e questo utente non può usarla: " + ChooseAnother;
    case BindFailure::InvalidPort:
      return named +
             " non esiste: scegliere un numero da 1 a 65535 da Impostazioni › Porta "
             "d'ingresso.";
    case BindFailure::NoResources:
      return "Il sistema non ha più risorse per aprire la porta " + std::to_string(port) +
             " (troppi file aperti): chiudere qualche programma e riprovare da Impostazioni › "
             "Porta d'ingresso.";
    case BindFailure::Other:
      break;
  }
  return named + " non si può usare: " + ChooseAnother;
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
