// What the client prints: readable tables for people, one JSON object for scripts.
#pragma once

#include <string>

#include "ClientReplies.h"
#include "ClientRequests.h"

namespace varo::client {

// A PutLong number as text: the value (unsigned for counts and costs), "-536 (or 65000)" when it
// reads two ways that nothing settled, or "? (bytes 00 01 FF FF)" when no value writes its bytes.
std::string FormatNumber(const ReplyNumber& number);

// A cost in cents as FormatNumber shows it, followed by its euro amount: "700 (7.00 euro)". The
// list and the summary both show costs this way.
std::string FormatCost(const ReplyNumber& cents);

// The signs of match k (0 to 13) of a column: "1", "X", "2" and "4" in that order, "-" for none.
std::string SignsOfMatch(const TicketColumn& column, int match);

// The list as a table: position, code, name, date and total cost in cents and euro.
std::string ListTable(const ListReply& list, Game game);
std::string ListJson(const ListReply& list, Game game);

// What an empty list says: nothing at the positions asked for, and what the folder holds.
std::string NoSystemsText(Game game, std::uint32_t first, std::uint32_t last,
                          std::uint8_t folderCountMod256);

// What an empty game says: "Totogol: no systems stored".
std::string NothingStoredText(Game game);

// Every field of a summary, one per line.
std::string SummaryTable(const SummaryReply& summary, Game game);
// "found" beside the status; a missing system's zero-filled fields are left out.
std::string SummaryJson(const SummaryReply& summary, Game game);

// One row per column: its side flag and the signs of its fourteen matches.
std::string TicketTable(const TicketReply& ticket, Game game);
// "found" beside the status; a missing ticket leaves its columns out, and code and number too
// when the system itself is missing.
std::string TicketJson(const TicketReply& ticket, Game game);

// The outcome of a delete request.
std::string DeleteText(std::uint16_t status, Game game, std::int32_t code);
std::string DeleteJson(std::uint16_t status, Game game, std::int32_t code);

}  // namespace varo::client
