#include "ListAndDelete.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "archive/Archive.h"
#include "endpoint/ReceivedDatagram.h"
#include "handlers/LogLine.h"
#include "platform/Paths.h"
#include "protocol/Codecs.h"
#include "protocol/Commands.h"
#include "records/Printable.h"

namespace varo {

namespace {

void WriteListEntry(PayloadArea& reply, std::size_t offset, ListPage& page, const std::string& name,
                    std::uint8_t gameKind, SummaryCache& kept) {
  PutLong(reply, offset, GetCodice(name));
  const auto wireName = WireName(name);
  std::copy(wireName.begin(), wireName.end(),
            reply.begin() + static_cast<std::ptrdiff_t>(offset + 4));
  // The system's date and total cost, both of the one file examined.
  SystemSummary summary{};
  GetListedInfo(page, name, gameKind, summary, kept);
  PutWord(reply, offset + 24, summary.Year);
  reply[offset + 26] = summary.Month;
  reply[offset + 27] = summary.Day;
  PutLong(reply, offset + 28, summary.TotalCost);
}

}  // namespace

void RichiestaLista(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  const std::uint8_t gameKind = state.RequestPayload[0];
  const std::size_t first = WordAt(state.RequestPayload, 1);
  const std::size_t last = WordAt(state.RequestPayload, 3);
  const Listing& listing = archive.List(gameKind);
  AppendStamped(
      log, gameKind == GameTotocalcio ? "Richiesta lista Totocalcio" : "Richiesta lista Totogol");

  PayloadArea& reply = state.ReplyPayload;
  const std::size_t count = listing.Names.size();
  reply[2] = gameKind;
  reply[3] = static_cast<std::uint8_t>(count % 256);

  // Positions are 1-based; files past the 62nd entry of the range are not read at all, and the
  // client pages on with a later first position.
  std::size_t n = 0;
  ListPage page(listing.Folder);
  for (std::size_t position = std::max<std::size_t>(first, 1);
       position <= std::min(last, count) && n < MaxListEntries; ++position) {
    WriteListEntry(reply, ListHeadSize + ListEntrySize * n, page, listing.Names[position - 1],
                   gameKind, archive.Summaries());
    ++n;
  }
  PutWord(reply, 0, n >= 1 ? StatusOk : StatusNotFound);
  AppendStamped(log, "Elenco inviato (" + std::to_string(count) + ")");

  state.Reply = state.Request;
  state.Reply.ExtraLength = 0;
  state.Reply.DataLength = static_cast<std::uint16_t>(ListHeadSize + ListEntrySize * n);
}

void RichiestaCancellazione(RequestState& state, SystemArchive& archive, ActivityLog& log) {
  const std::uint8_t gameKind = state.RequestPayload[0];
  const auto code = static_cast<std::int32_t>(LongAt(state.RequestPayload, 1));
  const std::string path = archive.Code2Filename(code, gameKind);
  AppendStamped(log, "Richiesta cancellazione " + Printable(path));

  if (!path.empty()) {
    // Throws on any failure but "already gone", so a file still there is never reported deleted.
    const Disposal disposal = archive.Delete(path);
    PutWord(state.ReplyPayload, 0, StatusOk);
    AppendStamped(log, "Cancellazione " + Printable(path) + " effettuata");
    // Any host may delete: the operator can tell who did, when, and where the file went.
    log.Deleted({.SenderAddress = state.SenderAddress,
                 .SenderPort = state.SenderPort,
                 .Path = path,
                 .Where = disposal});
  } else {
    PutWord(state.ReplyPayload, 0, StatusNotFound);
  }
  state.Reply.DataLength = 2;
}

}  // namespace varo
