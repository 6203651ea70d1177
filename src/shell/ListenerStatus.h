// Whether the endpoint listens, where and why not, as the window's status line, the tray icon's tip
// and standard error tell it. Free of any toolkit, so every desktop program says the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveFolders.h"
#include "endpoint/AccessRule.h"
#include "platform/DatagramSocket.h"

namespace varo {

struct ListenerStatus {
  std::int32_t InputPort = 0;
  std::int32_t OutputPort = 0;
  std::optional<BindFailure> Failure;  // nothing while listening
  std::string FailureText;             // the error's own words, for BindFailure::Other
  std::uint64_t Refused = 0;           // requests refused by the access rule since the start
  std::string LastRefused;             // the source of the latest of them, dotted
  std::string AccessProblem;           // the [Accesso] Reti entry that could not be read
  std::vector<std::string> Addresses;  // this computer's IPv4 addresses, for the clients
  // What else keeps requests from being served, in Italian, each "what: detail" (a missing game
  // folder, a settings value that does not parse).
  std::vector<std::string> Notes;

  bool Listening() const { return !Failure.has_value(); }
};

// The status of an endpoint that listens.
ListenerStatus ListeningOn(std::int32_t inputPort, std::int32_t outputPort);

// The status of an endpoint whose activation failed with error.
ListenerStatus NotListening(std::int32_t inputPort, std::int32_t outputPort,
                            const std::exception& error);

// What keeps some request from being answered, gravest first: the endpoint not listening, then
// the notes (settings, folders, event log, a crash) and an [Accesso] Reti entry that could not be
// read; each "what: detail", in lower case as the status line joins them.
std::vector<std::string> Problems(const ListenerStatus& status);

// The window's message area: each problem on a line of its own, beginning with a capital; empty
// while all is well.
std::vector<std::string> MessageLines(const ListenerStatus& status);

// The window's status line: the problems first, then the port and the addresses, where replies go
// and the count of refused requests.
std::string StatusLine(const ListenerStatus& status);

// How a notification area reads an "&" in the text of a tip.
enum class TipAmpersands {
  AsIs,                  // shown as it is
  Prefixed,              // a mnemonic prefix: "&&" shows one "&"
  StrippedThenPrefixed,  // one "&" of each run taken away, then read as a prefix
};

// The field a tip is written into: how many UTF-16 units it holds (0: no bound) and how the
// notification area reads "&" there.
struct TipField {
  std::size_t Units = 0;
  TipAmpersands Ampersands = TipAmpersands::AsIs;
};

// The tray icon's tip, written for field: the product's name, then on a second line the problems
// (what, without the detail), then the port and the addresses. Within the field's bound: the
// problems first, each whole, those that do not fit counted ("e altri 2 problemi"), then the port,
// then as many addresses as fit ("e altri 2"); a first problem longer than the tip is cut, marked
// with "…", and never inside a character.
std::string TrayTip(const ListenerStatus& status, const TipField& field = {});

// The same for standard error: one line naming the ports and, when not listening, the cause.
std::string StatusReport(const ListenerStatus& status);

// Why the endpoint does not listen, for standard error: "input port 7770 is in use by another
// program".
std::string FailureReport(const ListenerStatus& status);

// The same in the user's words, for the event log: "in ascolto sulla porta 7770, risposte alla
// porta 7000".
std::string StatusEvent(const ListenerStatus& status);

// A line for standard error, and the same news in the user's words for the event log.
struct ReportedEvent {
  std::string Line;
  std::string Event;
};

// What standard error and the event log get at start: the version, the ports, who may ask, both
// game folders, and "missing" before the path of a folder that does not exist.
std::vector<ReportedEvent> StartReport(const std::string& version, const ListenerStatus& status,
                                       const AccessRule& rule, const ArchiveFolders& folders);

// The line standard error gets about a game folder: its path, "missing" before it when absent.
std::string FolderReport(const char* game, const std::string& folder, bool present);

// The line standard error gets about an [Accesso] Reti entry that could not be read.
std::string AccessProblemReport(const std::string& entry);

}  // namespace varo
