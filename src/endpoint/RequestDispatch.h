// Handling of one datagram on the main thread: decoding, dispatch to a handler, the reply.
#pragma once

#include <functional>

#include "ReceivedDatagram.h"
#include "ReplySender.h"
#include "RequestState.h"

namespace varo {

// A request handler works on the request state the endpoint prepared; it may throw.
using RequestHandler = std::function<void(RequestState&)>;

// One slot per request kind; an empty slot serves like an unknown command pair.
struct HandlerTable {
  RequestHandler RichiestaLista;                // 510, 1
  RequestHandler RichiestaCancellazione;        // 510, 2
  RequestHandler RichiestaInfoTotocalcio;       // 520, 1
  RequestHandler RichiestaBigliettoTotocalcio;  // 520, 2
  RequestHandler RichiestaInfoTotogol;          // 530, 3
  RequestHandler RichiestaBigliettoTotogol;     // 530, 4
};

// Whether a datagram is within the limits of a request (header, lengths inside it and the areas).
bool IsWellFormedRequest(std::size_t datagramLength, const RequestHeader& hostOrderHeader);

// Decodes the datagram into the state, runs the selected handler and sends the reply through
// sender. A malformed datagram changes nothing and gets no reply; a handler's error propagates
// and no reply is sent.
void UDPServerUDPRead(RequestState& state, const HandlerTable& handlers,
                      const ReceivedDatagram& datagram, ReplySender& sender);

}  // namespace varo
