#include "RequestDispatch.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "protocol/Commands.h"

namespace varo {

namespace {

const RequestHandler* SelectHandler(const HandlerTable& handlers, const RequestHeader& header) {
  // Compared in this order; the first pair that matches both values wins.
  const struct {
    std::uint16_t Command;
    std::uint8_t SubCommand;
    const RequestHandler* Handler;
  } table[] = {
      {CmdArchive, SubLista, &handlers.RichiestaLista},
      {CmdArchive, SubCancellazione, &handlers.RichiestaCancellazione},
      {CmdTotocalcio, SubInfoTotocalcio, &handlers.RichiestaInfoTotocalcio},
      {CmdTotocalcio, SubBigliettoTotocalcio, &handlers.RichiestaBigliettoTotocalcio},
      {CmdTotogol, SubInfoTotogol, &handlers.RichiestaInfoTotogol},
      {CmdTotogol, SubBigliettoTotogol, &handlers.RichiestaBigliettoTotogol},
  };
  for (const auto& row : table) {
    if (row.Command == header.Command && row.SubCommand == header.SubCommand) return row.Handler;
  }
  return nullptr;
}

}  // namespace

bool IsWellFormedRequest(std::size_t datagramLength, const RequestHeader& header) {
  return datagramLength >= RequestHeaderSize && header.DataLength <= PayloadAreaSize &&
         header.ExtraLength <= PayloadAreaSize &&
         RequestHeaderSize + header.DataLength + header.ExtraLength <= datagramLength;
}

void UDPServerUDPRead(RequestState& state, const HandlerTable& handlers,
                      const ReceivedDatagram& datagram, ReplySender& sender) {
  const std::vector<std::uint8_t>& bytes = datagram.Bytes;
  if (bytes.size() < RequestHeaderSize) return;
  RequestHeader header;
  std::memcpy(&header, bytes.data(), RequestHeaderSize);
  swapheader(header);
  // Checked before anything is copied, so a malformed datagram leaves the request areas alone.
  if (!IsWellFormedRequest(bytes.size(), header)) return;

  state.ReplyPayload.fill(0);
  state.Request = header;
  std::copy_n(bytes.begin() + RequestHeaderSize, header.DataLength, state.RequestPayload.begin());
  state.Reply = state.Request;
  state.SenderAddress = datagram.SenderAddress;
  state.SenderPort = datagram.SenderPort;
  if (header.ExtraLength > 0) {
    std::copy_n(bytes.begin() + RequestHeaderSize + header.DataLength, header.ExtraLength,
                state.ExtraBlock.begin());
  }

  if (const RequestHandler* handler = SelectHandler(handlers, state.Request); handler && *handler) {
    (*handler)(state);
  }

  const std::size_t n = state.Reply.DataLength;
  if (n > PayloadAreaSize) throw std::length_error("reply longer than the reply area");
  swapheader(state.Reply);
  std::vector<std::uint8_t> reply(RequestHeaderSize + n);
  std::memcpy(reply.data(), &state.Reply, RequestHeaderSize);
  std::copy_n(state.ReplyPayload.begin(), n, reply.begin() + RequestHeaderSize);
  sender.SendReply(datagram, state.OutputPort, reply);
}

}  // namespace varo
