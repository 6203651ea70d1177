// The server's replies as the client reads them: checked against the request, numbers decoded.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ClientRequests.h"
#include "protocol/ClientCodecs.h"

namespace varo::client {

// A reply whose length or fields no handler of the server writes.
class MalformedReply : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number the server wrote with PutLong: its reading, or nothing when no value writes its bytes.
// Reading->Ambiguous tells whether the other reading is still open and so must be shown.
struct ReplyNumber {
  std::optional<LongReading> Reading;
  std::array<std::uint8_t, 4> Bytes{};
  // A count or a cost: the server keeps these as 32-bit sums that wrap, so the bit pattern of a
  // reading is shown as an unsigned value (a cost of -939524096 is 3355443200).
  bool Unsigned = false;
};

struct ListEntry {
  std::uint32_t Position = 0;  // 1-based place in the game's listing
  ReplyNumber Code;
  std::string Name;  // the 20 wire bytes without the padding spaces
  std::uint16_t Year = 0;
  std::uint8_t Month = 0;
  std::uint8_t Day = 0;
  ReplyNumber TotalCost;  // euro cents
};

struct ListReply {
  std::uint16_t Status = 0;
  std::uint8_t GameByte = 0;
  std::uint8_t FolderCountMod256 = 0;  // every system of the folder, modulo 256
  std::vector<ListEntry> Entries;
};

struct SummaryReply {
  std::uint16_t Status = 0;
  ReplyNumber Code;
  std::string Name;
  std::uint16_t Year = 0;
  std::uint8_t Month = 0;
  std::uint8_t Day = 0;
  std::uint16_t Tickets = 0;
  ReplyNumber MainCombinations, SideCombinations, AllCombinations;
  ReplyNumber MainCost, SideCost, TotalCost;  // euro cents
  std::uint8_t Marker = 0;
  ReplyNumber TotalCostAgain;
};

struct TicketColumn {
  bool SideFlag = false;
  std::array<std::uint16_t, 4> SignMasks{};  // sign bits 0 to 3: "1", "X", "2", "4"
};

struct TicketReply {
  std::uint16_t Status = 0;
  ReplyNumber Code;
  std::uint16_t Ticket = 0;
  std::vector<TicketColumn> Columns;
};

// Whether a datagram answers this request: same command pair and tag in the echoed header.
bool AnswersRequest(const Datagram& request, const Datagram& reply);

// Reads a list reply; its positions are numbered from first. A code that reads two ways is
// settled by the entry's file name when the name shows it. Throws MalformedReply.
ListReply ParseListReply(const Datagram& reply, std::uint32_t first);

// Reads a delete reply and returns its status. Throws MalformedReply.
std::uint16_t ParseDeleteReply(const Datagram& reply);

// Reads an information reply; the requested code settles a code that reads two ways.
SummaryReply ParseSummaryReply(const Datagram& reply, std::int32_t requestedCode);

// Reads a ticket reply of the game; the requested code settles a code that reads two ways.
TicketReply ParseTicketReply(const Datagram& reply, Game game, std::int32_t requestedCode);

}  // namespace varo::client
