// The desktop program's own words, the same in every toolkit.
#pragma once

#include <cstdint>
#include <string>

namespace varo::texts {

inline constexpr const char* ProductName = "Quillmarch Varo Server";
// The window's caption once start-up has run.
inline constexpr const char* Caption = "Quillmarch Varo Server " VARO_VERSION;
inline constexpr const char* SettingsMenu = "Impostazioni";
inline constexpr const char* InputPortItem = "Porta d'ingresso";
inline constexpr const char* OutputPortItem = "Porta d'uscita";
inline constexpr const char* PortDialogCaption = "Impostazione della porta";
inline constexpr const char* InputPortPrompt = "Numero della porta d'ingresso";
inline constexpr const char* OutputPortPrompt = "Numero della porta d'uscita";
inline constexpr const char* InvalidPort = "Il numero della porta non valido";
// The second line under InvalidPort about an entry that is no number.
std::string NotAPortNumber(const std::string& entry);
// The second line under InvalidPort about a number that is no port.
std::string NoSuchPort(std::int32_t port);
// The second line under InvalidPort about a port that could not be stored in file.
std::string PortNotSaved(const std::string& file);
// Said after the advice about an input port that could not be bound, while the old one serves.
std::string StillListeningOn(std::int32_t port);
// The tray icon's menu: show the window, end the program.
inline constexpr const char* ShowItem = "Mostra";
inline constexpr const char* QuitItem = "Esci";
// In the window's menu bar and the tray icon's menu: opens the event log in the system's viewer.
inline constexpr const char* EventLogItem = "Registro eventi";
// The status line's note about a settings file that exists but cannot be read.
std::string UnreadableSettingsNote(const std::string& file);
// The status line's note about a port setting ("InPort=77O1") that does not parse.
std::string NotANumberNote(const std::string& setting, std::int32_t fallback);
// The status line's note about an output port setting ("OutPort=70000") that is no port.
std::string NotAPortNote(const std::string& setting, std::int32_t fallback);
// The status line's note about a game's folder that does not exist.
std::string MissingFolderNote(const std::string& game, const std::string& folder);
// The status line's notes about an event log that cannot be kept as it should; short, so the line
// shows them whole.
inline constexpr const char* EventLogNotWritable = "registro eventi non scrivibile";
inline constexpr const char* EventLogNotPassedOn = "registro eventi oltre 1 MiB, non rinominabile";
inline constexpr const char* EventLogNotMade = "Impossibile creare il registro eventi.";
inline constexpr const char* EventLogNotOpened =
    "Impossibile aprire il registro eventi: nessun programma lo mostra. Il file è:";
// The status line's note and the tray balloon about a crash of the last run.
std::string EarlierCrashNote(const std::string& report);
// Shown for an error that carries no text of its own.
inline constexpr const char* UnknownError = "Errore sconosciuto";
inline constexpr const char* OkButton = "OK";
inline constexpr const char* CancelButton = "Cancel";
// The port dialog's entry takes at most this many characters.
inline constexpr int EntryMaxLength = 255;

}  // namespace varo::texts
