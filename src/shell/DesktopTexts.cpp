#include "shell/DesktopTexts.h"

#include "endpoint/ReceivedDatagram.h"
#include "platform/FirewallPolicy.h"

namespace varo::texts {

namespace {

// Where the menu leads to another input port: "Impostazioni › Porta d'ingresso".
std::string InputPortMenuPath() {
  return std::string(SettingsMenu) + " › " + InputPortItem;
}

std::string AddressList(const std::vector<std::string>& addresses) {
  std::string list;
  for (const std::string& address : addresses) list += (list.empty() ? "" : ", ") + address;
  return list;
}

// The firewall's profiles as Windows names them in Italian.
constexpr struct {
  std::uint32_t Profile;
  const char* Name;
} FirewallProfileNames[] = {
    {FirewallDomain, "Dominio"}, {FirewallPrivate, "Privata"}, {FirewallPublic, "Pubblica"}};

}  // namespace

std::string NotAPortNumber(const std::string& entry) {
  return "\"" + entry + "\" non è un numero di porta: scrivere un numero da 1 a 65535.";
}

std::string NoSuchPort(std::int32_t port) {
  return "La porta " + std::to_string(port) + " non esiste: scrivere un numero da 1 a 65535.";
}

std::string PortNotSaved(const std::string& file) {
  return "Non è stato possibile salvare la porta nel file " + file + ": non è cambiato nulla.";
}

std::string InputPortAdvice(BindFailure why, std::int32_t port) {
  const std::string named = "La porta " + std::to_string(port);
  const std::string chooseAnother = "sceglierne un'altra da " + InputPortMenuPath() + ".";
  switch (why) {
    case BindFailure::InUse:
      return named + " è usata da un altro programma: " + chooseAnother;
    case BindFailure::NotPermitted:
      return named + " è riservata e questo utente non può usarla: " + chooseAnother;
    case BindFailure::InvalidPort:
      return named + " non esiste: scegliere un numero da 1 a 65535 da " + InputPortMenuPath() +
             ".";
    case BindFailure::NoResources:
      return "Il sistema non ha più risorse per aprire la porta " + std::to_string(port) +
             " (troppi file aperti): chiudere qualche programma e riprovare da " +
             InputPortMenuPath() + ".";
    case BindFailure::Other:
      break;
  }
  return named + " non si può usare: " + chooseAnother;
}

std::string StillListeningOn(std::int32_t port) {
  return "Il server resta in ascolto sulla porta " + std::to_string(port) + ".";
}

std::string ListeningOnPort(std::int32_t port) {
  return "in ascolto sulla porta " + std::to_string(port);
}

std::string StatusLineAddresses(const std::vector<std::string>& addresses) {
  switch (addresses.size()) {
    case 0:
      return ", solo da questo computer (nessuna rete attiva)";
    case 1:
      return " all'indirizzo " + addresses[0];
    default:
      return " agli indirizzi " + AddressList(addresses);
  }
}

std::string TrayTipAddresses(const std::vector<std::string>& shown, std::size_t others) {
  if (shown.empty()) return "";
  const std::string rest = others == 0   ? ""
                           : others == 1 ? " e un altro"
                                         : " e altri " + std::to_string(others);
  return " di " + AddressList(shown) + rest;
}

std::string TrayTipMoreProblems(std::size_t others) {
  return others == 0   ? ""
         : others == 1 ? " e un altro problema"
                       : " e altri " + std::to_string(others) + " problemi";
}

std::string PortProblem(BindFailure why, std::int32_t port, const std::string& failureText) {
  const std::string named = "porta " + std::to_string(port);
  switch (why) {
    case BindFailure::InUse:
      return named + " in uso";
    case BindFailure::NotPermitted:
      return named + " non permessa";
    case BindFailure::InvalidPort:
      return named + " non valida";
    case BindFailure::NoResources:
      return named + " non aperta: il sistema non ha più risorse";
    case BindFailure::Other:
      break;
  }
  return named + ": " + failureText;
}

std::string NotListeningBecause(BindFailure why, std::int32_t port,
                                const std::string& failureText) {
  return "non in ascolto: " + PortProblem(why, port, failureText);
}

std::string RepliesToPort(std::int32_t port) {
  return "risposte alla porta " + std::to_string(port);
}

std::string AccessEntryNotValid(const std::string& entry) {
  return "voce [Accesso] Reti non valida: \"" + entry + "\", si risponde solo alle reti locali";
}

std::string RefusedRequests(std::uint64_t count, const std::string& lastSource) {
  std::string text = "richieste rifiutate: " + std::to_string(count);
  if (!lastSource.empty()) text += " (l'ultima da " + lastSource + ")";
  return text;
}

std::string UnreadableSettingsNote(const std::string& file) {
  return "file delle impostazioni illeggibile: " + file + " (porte e accesso predefiniti)";
}

std::string NotANumberNote(const std::string& setting, std::int32_t fallback) {
  return setting + " non è un numero: si usa la porta " + std::to_string(fallback);
}

std::string NotAPortNote(const std::string& setting, std::int32_t fallback) {
  return setting + " non è una porta da 1 a 65535: " + RepliesToPort(fallback);
}

std::string MissingFolderNote(const std::string& game, const std::string& folder) {
  return "cartella " + game + " mancante: " +
         (folder.empty() ? std::string("il sistema non indica la cartella Documenti") : folder);
}

std::string EarlierCrashNote(const std::string& report) {
  return "ultima esecuzione terminata con un errore: rapporto in " + report;
}

std::string EarlierCrashBalloon(const std::string& report) {
  return "L'ultima esecuzione è terminata con un errore: rapporto in " + report;
}

std::string StartedEvent(const std::string& productAndVersion) {
  return "avvio di " + productAndVersion;
}

std::string WhoMayAskEvent(const AccessRule& rule) {
  if (rule.Everyone) return "si risponde alle richieste di chiunque";
  if (rule == LocalNetworksRule()) return "si risponde alle richieste delle sole reti locali";
  std::string text = "si risponde alle richieste di questo computer";
  for (const IPv4Network& network : rule.Networks) text += ", " + NetworkText(network);
  return text;
}

std::string FolderEvent(const std::string& game, const std::string& folder, bool present) {
  return "sistemi " + game + ": " + (present ? "" : "cartella mancante ") + folder;
}

std::string DocumentsMovedEvent(const std::string& documents) {
  return "la cartella Documenti è ora " + documents;
}

std::string DeletionEvent(const std::string& address, std::uint16_t port, const std::string& path) {
  return "cancellato su richiesta di " + address + " (porta " + std::to_string(port) + "): " + path;
}

std::string DisposalEvent(bool trashed, const std::string& path) {
  return (trashed ? "spostato nel cestino: " : "eliminato definitivamente: ") + path;
}

std::string RefusalEvent(const RefusalNotice& notice) {
  const std::string why = ": non è una rete locale (vedere [Accesso] Reti)";
  if (notice.Source != 0) return "rifiutata una richiesta da " + DottedQuad(notice.Source) + why;
  const std::string from = " da indirizzi già nominati nell'ultimo minuto o non nominati";
  if (notice.Unnamed == 1) return "rifiutata un'altra richiesta" + from + why;
  return "rifiutate altre " + std::to_string(notice.Unnamed) + " richieste" + from + why;
}

std::string NotANumberEvent(const std::string& setting, const std::string& file,
                            std::int32_t fallback) {
  return "impostazioni: " + setting + " in " + file + " non è un numero: si usa la porta " +
         std::to_string(fallback);
}

std::string NotAPortEvent(const std::string& setting, const std::string& file,
                          std::int32_t fallback) {
  return "impostazioni: " + setting + " in " + file +
         " non è una porta da 1 a 65535: " + RepliesToPort(fallback);
}

std::string UnreadableSettingsEvent(const std::string& file, const std::string& why) {
  return "impossibile leggere il file delle impostazioni " + file + " (" + why +
         "): porte predefinite, si risponde solo alle reti locali";
}

std::string EverySourceEvent(const std::string& entry) {
  return "voce [Accesso] Reti \"" + entry +
         "\": si risponde a chiunque, e chiunque raggiunga questa porta può cancellare i sistemi";
}

std::string IgnoredEntryEvent(const std::string& entry) {
  return "voce [Accesso] Reti \"" + entry + "\" ignorata: il server risponde solo a IPv4";
}

std::string PortNotMovedEvent(const std::string& problem, const std::string& now) {
  return "porta d'ingresso non cambiata: " + problem + "; " + now;
}

std::string PortNotSavedEvent(const std::string& setting, const std::string& file,
                              const std::string& why) {
  return "impossibile salvare " + setting + " in " + file + " (" + why + "): non è cambiato nulla";
}

std::string SettingsFolderNotMadeEvent(const std::string& folder) {
  return "impossibile creare la cartella delle impostazioni " + folder +
         ": il salvataggio di una porta non riuscirà";
}

std::string UnwrittenEvents(std::uint64_t count) {
  if (count == 1) return "1 evento precedente non è stato scritto qui";
  return std::to_string(count) + " eventi precedenti non sono stati scritti qui";
}

std::string FirewallBlocksNote(std::uint32_t profiles) {
  std::string names;
  for (const auto& profile : FirewallProfileNames) {
    if ((profiles & profile.Profile) == 0) continue;
    names += (names.empty() ? "" : ", ") + std::string(profile.Name);
  }
  return "Windows Firewall blocca le richieste su questa rete (" + names + ")";
}

}  // namespace varo::texts
