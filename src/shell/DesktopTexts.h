// The desktop program's own words, the same in every toolkit: every sentence the user reads, as a
// constant or, when it takes values, as a phrase made in DesktopTexts.cpp. The logic only joins
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "endpoint/AccessRule.h"
#include "endpoint/RefusedSources.h"
#include "platform/DatagramSocket.h"

namespace varo::texts {

inline constexpr const char* ProductName = "Quillmarch Varo Server";
// The window's caption once start-up has run.
inline constexpr const char* Caption = "Quillmarch Varo Server " VARO_VERSION;
inline constexpr const char* SettingsMenu = "Impostazioni";
inline constexpr const char* InputPortItem = "Porta d'ingresso";
inline constexpr const char* OutputPortItem = "Porta d'uscita";
// The tray icon's menu: show the window, end the program.
inline constexpr const char* ShowItem = "Mostra";
inline constexpr const char* QuitItem = "Esci";
// In the window's menu bar and the tray icon's menu: opens the event log in the system's viewer.
inline constexpr const char* EventLogItem = "Registro eventi";

// The port dialogs.
inline constexpr const char* PortDialogCaption = "Impostazione della porta";
inline constexpr const char* InputPortPrompt = "Numero della porta d'ingresso";
inline constexpr const char* OutputPortPrompt = "Numero della porta d'uscita";
inline constexpr const char* OkButton = "OK";
inline constexpr const char* CancelButton = "Cancel";
// The port dialog's entry takes at most this many characters.
inline constexpr int EntryMaxLength = 255;

// The first line of every message about a port that is not put in force.
inline constexpr const char* InvalidPort = "Il numero della porta non valido";
// The second line under InvalidPort about an entry that is no number.
std::string NotAPortNumber(const std::string& entry);
// The second line under InvalidPort about a number that is no port.
std::string NoSuchPort(std::int32_t port);
// The second line under InvalidPort about a port that could not be stored in file.
std::string PortNotSaved(const std::string& file);
// The second line of a message about an input port that cannot be bound: what happened and what to
// do, naming the port.
std::string InputPortAdvice(BindFailure why, std::int32_t port);
// Said after InputPortAdvice when the old input port goes on serving.
std::string StillListeningOn(std::int32_t port);

// The status line's and the tray tip's part while the endpoint listens ("in ascolto sulla porta
// 7770"). Like every part of the line, in lower case: the line gives its first letter a capital.
std::string ListeningOnPort(std::int32_t port);
// Follows ListeningOnPort on the status line: the addresses the clients type in, or that there are
// none.
std::string StatusLineAddresses(const std::vector<std::string>& addresses);
// Follows ListeningOnPort in the tray tip: the addresses shown in brief and how many others did not
// fit; nothing when none is shown.
std::string TrayTipAddresses(const std::vector<std::string>& shown, std::size_t others);
// Follows the tray tip's problems when some did not fit: how many ("e altri 2 problemi"); nothing
// when none was left out.
std::string TrayTipMoreProblems(std::size_t others);
// What is wrong with an input port: "porta 7770 in uso"; failureText is the error's own words, for
// BindFailure::Other.
std::string PortProblem(BindFailure why, std::int32_t port, const std::string& failureText);
// The problem that the endpoint does not listen: "non in ascolto: porta 7770 in uso".
std::string NotListeningBecause(BindFailure why, std::int32_t port, const std::string& failureText);
// The status line's part about where replies go.
std::string RepliesToPort(std::int32_t port);
// The problem of an [Accesso] Reti entry that could not be read.
std::string AccessEntryNotValid(const std::string& entry);
// The status line's count of refused requests, with the latest one's source when known.
std::string RefusedRequests(std::uint64_t count, const std::string& lastSource);

// The status line's notes, each a problem "what: detail" in lower case, so the tray tip can show
// what alone.
// A settings file that exists but cannot be read.
std::string UnreadableSettingsNote(const std::string& file);
// A port setting ("InPort=77O1") that does not parse.
std::string NotANumberNote(const std::string& setting, std::int32_t fallback);
// An output port setting ("OutPort=70000") that is no port.
std::string NotAPortNote(const std::string& setting, std::int32_t fallback);
// A game's folder that does not exist.
std::string MissingFolderNote(const std::string& game, const std::string& folder);
// An event log that cannot be kept as it should; short, so the line shows them whole.
inline constexpr const char* EventLogNotWritable = "registro eventi non scrivibile";
inline constexpr const char* EventLogNotPassedOn = "registro eventi oltre 1 MiB, non rinominabile";
// A crash of the last run, as a note and as the tray balloon's sentence.
std::string EarlierCrashNote(const std::string& report);
std::string EarlierCrashBalloon(const std::string& report);
// Windows Firewall blocks incoming requests on the networks of the profiles (FirewallPolicy's
// bits), which are named.
std::string FirewallBlocksNote(std::uint32_t profiles);

// The event log's lines, one an event, in the user's words; the log puts the date and time before
// each. The program starts ("avvio di Quillmarch Varo Server 1.15") and stops.
std::string StartedEvent(const std::string& productAndVersion);
inline constexpr const char* StoppedEvent = "arresto del programma";
// Who may ask, as the program starts and after a port changed.
std::string WhoMayAskEvent(const AccessRule& rule);
// Where a game's systems are read, or that the folder is missing.
std::string FolderEvent(const std::string& game, const std::string& folder, bool present);
// The desktop named another Documents folder.
std::string DocumentsMovedEvent(const std::string& documents);
// A system deleted at a client's request (address dotted), then where it went.
std::string DeletionEvent(const std::string& address, std::uint16_t port, const std::string& path);
std::string DisposalEvent(bool trashed, const std::string& path);
// Requests refused by the access rule.
std::string RefusalEvent(const RefusalNotice& notice);
// Settings that do not work: a port value that is no number, an output port outside the range,
// a file that cannot be read (why: the system's words), an [Accesso] Reti entry.
std::string NotANumberEvent(const std::string& setting, const std::string& file,
                            std::int32_t fallback);
std::string NotAPortEvent(const std::string& setting, const std::string& file,
                          std::int32_t fallback);
std::string UnreadableSettingsEvent(const std::string& file, const std::string& why);
std::string EverySourceEvent(const std::string& entry);
std::string IgnoredEntryEvent(const std::string& entry);
// A port the dialog could not put in force: the input port not moved (problem as PortProblem
// says it, then what serves now), a value not stored.
std::string PortNotMovedEvent(const std::string& problem, const std::string& now);
std::string PortNotSavedEvent(const std::string& setting, const std::string& file,
                              const std::string& why);
// The settings folder could not be made at start.
std::string SettingsFolderNotMadeEvent(const std::string& folder);
// Events that happened while the log could not be written, told once it can.
std::string UnwrittenEvents(std::uint64_t count);

// The messages about an event log that cannot be shown.
inline constexpr const char* EventLogNotMade = "Impossibile creare il registro eventi.";
inline constexpr const char* EventLogNotOpened =
    "Impossibile aprire il registro eventi: nessun programma lo mostra. Il file è:";
// Shown for an error that carries no text of its own.
inline constexpr const char* UnknownError = "Errore sconosciuto";

}  // namespace varo::texts
