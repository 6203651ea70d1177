#include "shell/DesktopTexts.h"

namespace varo::texts {

std::string NotAPortNumber(const std::string& entry) {
  return "\"" + entry + "\" non è un numero di porta: scrivere un numero da 1 a 65535.";
}

std::string NoSuchPort(std::int32_t port) {
  return "La porta " + std::to_string(port) + " non esiste: scrivere un numero da 1 a 65535.";
}

std::string PortNotSaved(const std::string& file) {
  return "Non è stato possibile salvare la porta nel file " + file + ": non è cambiato nulla.";
}

std::string StillListeningOn(std::int32_t port) {
  return "Il server resta in ascolto sulla porta " + std::to_string(port) + ".";
}

std::string UnreadableSettingsNote(const std::string& file) {
  return "file delle impostazioni illeggibile: " + file + " (porte e accesso predefiniti)";
}

std::string NotANumberNote(const std::string& setting, std::int32_t fallback) {
  return setting + " non è un numero: si usa la porta " + std::to_string(fallback);
}

std::string NotAPortNote(const std::string& setting, std::int32_t fallback) {
  return setting + " non è una porta da 1 a 65535: risposte alla porta " + std::to_string(fallback);
}

std::string MissingFolderNote(const std::string& game, const std::string& folder) {
  return "cartella " + game + " mancante: " + folder;
}

std::string EarlierCrashNote(const std::string& report) {
  return "L'ultima esecuzione è terminata con un errore: rapporto in " + report;
}

}  // namespace varo::texts
