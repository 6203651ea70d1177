#include "TicketRequests.h"

#include <cstdint>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "handlers/LogLine.h"
#include "protocol/Codecs.h"
#include "protocol/Commands.h"
#include "records/Printable.h"

namespace varo {

namespace {

inline constexpr std::size_t TicketHeadSize = 9;

// The two games differ in their folder, the byte that carries the side flag and the signs packed.
struct TicketGame {
  std::uint8_t GameKind;
  std::size_t FlagByte;
  int Signs;
};

// Bit k of the mask is sign bit `sign` of the column's byte k, for the fourteen matches.
std::uint16_t SignMask(const ColumnRecord& column, int sign) {
  std::uint16_t mask = 0;
  for (std::size_t k = 0; k < ColumnRecordSize; ++k) {
    if ((column[k] >> sign) & 1) mask = static_cast<std::uint16_t>(mask | (1u << k));
  }
  return mask;
}

void WritePackedColumn(PayloadArea& reply, std::size_t offset, const ColumnRecord& column,
                       const TicketGame& game) {
  reply[offset] = (column[game.FlagByte] & SideFlagBit) ? 1 : 0;
  for (int sign = 0; sign < game.Signs; ++sign) {
    PutWord(reply, offset + 1 + 2 * static_cast<std::size_t>(sign), SignMask(column, sign));
  }
}

void AnswerTicket(RequestState& state, SystemArchive& archive, ActivityLog& log,
                  const TicketGame& game) {
  const std::uint16_t ticket = WordAt(state.RequestPayload, 4);
  const auto code = static_cast<std::int32_t>(LongAt(state.RequestPayload, 0));
  const std::string path = archive.Code2Filename(code, game.GameKind);
  PayloadArea& reply = state.ReplyPayload;
  PutWord(reply, 0, StatusNotFound);
  AppendStamped(log, "Richiesta biglietto N. " + std::to_string(ticket) + " del sistema " +
                         Printable(FileNameOf(path)));

  const std::size_t packedSize = 1 + 2 * static_cast<std::size_t>(game.Signs);
  std::size_t n = 0;
  if (!path.empty()) {
    PutLong(reply, 2, code);
    PutWord(reply, 6, ticket);
    // Only the ticket's own records are read; what comes back equals a pass over the whole file.
    const std::vector<ColumnRecord> columns = ReadTicketColumns(path, ticket);
    for (const ColumnRecord& column : columns) {
      WritePackedColumn(reply, TicketHeadSize + packedSize * n, column, game);
      ++n;
    }
    if (n > 0) PutWord(reply, 0, StatusOk);
    reply[8] = static_cast<std::uint8_t>(n);
  }
  state.Reply.DataLength = static_cast<std::uint16_t>(TicketHeadSize + packedSize * n);
  AppendStamped(log, "Biglietto N. " + std::to_string(ticket) + " inviato");
}

}  // namespace

void RichiestaBigliettoTotocalcio(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  AnswerTicket(state, archive, log, {GameTotocalcio, TotocalcioFlagByte, 3});
}

void RichiestaBigliettoTotogol(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  AnswerTicket(state, archive, log, {GameTotogol, TotogolFlagByte, 4});
}

}  // namespace varo
