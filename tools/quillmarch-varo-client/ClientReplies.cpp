#include "ClientReplies.h"

#include <algorithm>

#include "ClientText.h"
#include "protocol/Commands.h"
#include "protocol/RequestHeader.h"

namespace varo::client {

namespace {

constexpr std::size_t ListHead = 4;
constexpr std::size_t ListEntrySize = 32;
constexpr std::size_t MostListEntries = 62;
constexpr std::size_t SummarySize = 61;
constexpr std::size_t TicketHead = 9;
constexpr std::size_t MostTicketColumns = 64;

// The payload of a reply after checking that the header's DataLength is what arrived.
std::vector<std::uint8_t> Payload(const Datagram& reply) {
  if (reply.size() < RequestHeaderSize) {
    throw MalformedReply("the reply is shorter than a header (" +
                         CountOf(reply.size(), "byte", "bytes") + ")");
  }
  const std::size_t declared = static_cast<std::size_t>(reply[8] << 8 | reply[9]);
  if (declared != reply.size() - RequestHeaderSize) {
    throw MalformedReply("the reply declares " +
                         CountOf(declared, "payload byte", "payload bytes") + " but carries " +
                         std::to_string(reply.size() - RequestHeaderSize));
  }
  return {reply.begin() + RequestHeaderSize, reply.end()};
}

// A payload that begins with a status no handler writes comes from a server that has no handler
// for the request (it echoes a zeroed payload) or from something that is not this server.
void RequireStatus(std::uint16_t status) {
  if (status != StatusOk && status != StatusNotFound) {
    throw MalformedReply("the reply carries status " + std::to_string(status) +
                         "; the server may not serve this kind of request");
  }
}

// Values 2 to 65534 go out as the same bytes as the values 65535 lower, and 2147450880 as
// -2147450880. A code is only settled by the code the request asked for or the name it was read
// from: a small code is as likely as a negative one, and a wrong one names another system. Of two
// counts, one below 65535 is taken over its twin just under 2^32, which only a wrapped sum reaches.
ReplyNumber Number(const std::uint8_t* p, LongField field,
                   std::optional<std::int32_t> preferred = std::nullopt) {
  ReplyNumber n;
  std::copy(p, p + 4, n.Bytes.begin());
  n.Unsigned = field == LongField::NonNegative;
  n.Reading = DecodePutLong(p, field, preferred);
  if (n.Reading && n.Reading->Other) {
    n.Reading->Ambiguous = n.Unsigned ? static_cast<std::uint32_t>(n.Reading->Value) >= 65535
                                      : !preferred || n.Reading->Value != *preferred;
  }
  return n;
}

// The code the server reads from a listed file name whose last extension is plain decimal; a
// name that fills the 20 bytes may have been cut and settles nothing.
std::optional<std::int32_t> CodeInName(const std::string& name) {
  const std::size_t dot = name.find_last_of(".\\:");
  if (name.size() >= 20 || dot == std::string::npos || name[dot] != '.') return std::nullopt;
  std::size_t i = dot + 1;
  const bool negative = i < name.size() && name[i] == '-';
  if (negative) ++i;
  if (i == name.size() || name.size() - i > 10) return std::nullopt;
  long long v = 0;
  for (; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    v = v * 10 + (name[i] - '0');
  }
  v = negative ? -v : v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::string Name(const std::uint8_t* p) {
  std::string name(reinterpret_cast<const char*>(p), 20);
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

}  // namespace

bool AnswersRequest(const Datagram& request, const Datagram& reply) {
  if (request.size() < RequestHeaderSize || reply.size() < RequestHeaderSize) return false;
  return std::equal(request.begin() + 13, request.begin() + 19, reply.begin() + 13) &&
         std::equal(request.begin() + 20, request.begin() + 23, reply.begin() + 20);
}

ListReply ParseListReply(const Datagram& reply, std::uint32_t first) {
  const auto p = Payload(reply);
  if (p.size() < ListHead || (p.size() - ListHead) % ListEntrySize != 0 ||
      (p.size() - ListHead) / ListEntrySize > MostListEntries) {
    throw MalformedReply("a list reply of " + CountOf(p.size(), "payload byte", "payload bytes") +
                         " is not a head and whole entries");
  }
  ListReply list;
  list.Status = DecodePutWord(p.data());
  RequireStatus(list.Status);
  list.GameByte = p[2];
  list.FolderCountMod256 = p[3];
  const std::size_t n = (p.size() - ListHead) / ListEntrySize;
  if ((n > 0) != (list.Status == StatusOk)) {
    throw MalformedReply("a list reply with status " + std::to_string(list.Status) + " and " +
                         CountOf(n, "entry", "entries"));
  }
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t* e = p.data() + ListHead + k * ListEntrySize;
    ListEntry entry;
    entry.Position = std::max<std::uint32_t>(first, 1) + static_cast<std::uint32_t>(k);
    entry.Name = Name(e + 4);
    entry.Code = Number(e, LongField::Signed, CodeInName(entry.Name));
    entry.Year = DecodePutWord(e + 24);
    entry.Month = e[26];
    entry.Day = e[27];
    entry.TotalCost = Number(e + 28, LongField::NonNegative);
    list.Entries.push_back(entry);
  }
  return list;
}

std::uint16_t ParseDeleteReply(const Datagram& reply) {
  const auto p = Payload(reply);
  if (p.size() != 2) {
    throw MalformedReply("a delete reply of " + CountOf(p.size(), "payload byte", "payload bytes"));
  }
  const std::uint16_t status = DecodePutWord(p.data());
  RequireStatus(status);
  return status;
}

SummaryReply ParseSummaryReply(const Datagram& reply, std::int32_t requestedCode) {
  const auto p = Payload(reply);
  if (p.size() != SummarySize) {
    throw MalformedReply("an information reply of " +
                         CountOf(p.size(), "payload byte", "payload bytes") + ", not 61");
  }
  SummaryReply s;
  s.Status = DecodePutWord(p.data());
  RequireStatus(s.Status);
  s.Code = Number(p.data() + 2, LongField::Signed, requestedCode);
  s.Name = Name(p.data() + 6);
  s.Year = DecodePutWord(p.data() + 26);
  s.Month = p[28];
  s.Day = p[29];
  s.Tickets = DecodePutWord(p.data() + 30);
  s.MainCombinations = Number(p.data() + 32, LongField::NonNegative);
  s.SideCombinations = Number(p.data() + 36, LongField::NonNegative);
  s.AllCombinations = Number(p.data() + 40, LongField::NonNegative);
  s.MainCost = Number(p.data() + 44, LongField::NonNegative);
  s.SideCost = Number(p.data() + 48, LongField::NonNegative);
  s.TotalCost = Number(p.data() + 52, LongField::NonNegative);
  s.Marker = p[56];
  s.TotalCostAgain = Number(p.data() + 57, LongField::NonNegative);
  return s;
}

TicketReply ParseTicketReply(const Datagram& reply, Game game, std::int32_t requestedCode) {
  const auto p = Payload(reply);
  const std::size_t size = game == Game::Totocalcio ? 7 : 9;
  const std::size_t signs = game == Game::Totocalcio ? 3 : 4;
  if (p.size() < TicketHead) {
    throw MalformedReply("a ticket reply of " + CountOf(p.size(), "payload byte", "payload bytes"));
  }
  TicketReply t;
  t.Status = DecodePutWord(p.data());
  RequireStatus(t.Status);
  t.Code = Number(p.data() + 2, LongField::Signed, requestedCode);
  t.Ticket = DecodePutWord(p.data() + 6);
  const std::size_t n = p[8];
  if (n > MostTicketColumns || p.size() != TicketHead + n * size ||
      (n > 0) != (t.Status == StatusOk)) {
    throw MalformedReply("a ticket reply of " + CountOf(p.size(), "payload byte", "payload bytes") +
                         " announcing " + CountOf(n, "column", "columns"));
  }
  for (std::size_t j = 0; j < n; ++j) {
    const std::uint8_t* c = p.data() + TicketHead + j * size;
    TicketColumn column;
    column.SideFlag = c[0] != 0;
    for (std::size_t b = 0; b < signs; ++b) column.SignMasks[b] = DecodePutWord(c + 1 + 2 * b);
    t.Columns.push_back(column);
  }
  return t;
}

}  // namespace varo::client
