// Fuzz target: whole datagrams through decoding, dispatch and every handler over a fixed archive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "FixtureArchive.h"
#include "Invariant.h"
#include "endpoint/RequestDispatch.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"
#include "protocol/Commands.h"
#include "protocol/PayloadArea.h"
#include "protocol/RequestHeader.h"

namespace {

using varo::RequestHeaderSize;

std::uint16_t WireWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

class CountingLog : public varo::ActivityLog {
 public:
  void Append(const std::string& line) override {
    // Names of files reach the log, but never a byte that could break or forge a line.
    for (unsigned char c : line) FUZZ_REQUIRE(c >= 0x20 && c != 0x7F);
    ++lines_;
  }

 private:
  std::size_t lines_ = 0;
};

class CapturingSender : public varo::ReplySender {
 public:
  void SendReply(const varo::ReceivedDatagram&, std::int32_t,
                 std::span<const std::uint8_t> reply) override {
    FUZZ_REQUIRE(!reply_);  // one reply per request
    reply_.emplace(reply.begin(), reply.end());
  }
  std::optional<std::vector<std::uint8_t>> Take() {
    auto reply = std::move(reply_);
    reply_.reset();
    return reply;
  }

 private:
  std::optional<std::vector<std::uint8_t>> reply_;
};

bool IsHandledPair(std::uint16_t command, std::uint8_t subCommand) {
  using namespace varo;
  return (command == CmdArchive && (subCommand == SubLista || subCommand == SubCancellazione)) ||
         (command == CmdTotocalcio &&
          (subCommand == SubInfoTotocalcio || subCommand == SubBigliettoTotocalcio)) ||
         (command == CmdTotogol &&
          (subCommand == SubInfoTotogol || subCommand == SubBigliettoTotogol));
}

void CheckReply(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) {
  FUZZ_REQUIRE(reply.size() >= RequestHeaderSize && reply.size() <= RequestHeaderSize + 2000);
  const std::uint16_t dataLength = WireWord(reply, 8);
  FUZZ_REQUIRE(reply.size() == RequestHeaderSize + dataLength);
  for (std::size_t i = 0; i < RequestHeaderSize; ++i) {
    if (i >= 8 && i < 12) continue;
    FUZZ_REQUIRE(reply[i] == request[i]);
  }
  const std::uint16_t extraLength = WireWord(reply, 10);
  FUZZ_REQUIRE(extraLength == 0 || extraLength == WireWord(request, 10));

  const std::uint16_t command = WireWord(request, 20);
  const std::uint8_t subCommand = request[22];
  if (!IsHandledPair(command, subCommand)) {
    // No handler ran: the request's own header and as many zero bytes as it declared.
    FUZZ_REQUIRE(std::memcmp(reply.data(), request.data(), RequestHeaderSize) == 0);
    for (std::size_t i = RequestHeaderSize; i < reply.size(); ++i) FUZZ_REQUIRE(reply[i] == 0);
    return;
  }
  // Every handler's payload opens with a status word.
  FUZZ_REQUIRE(dataLength >= 2);
  const std::uint16_t status = WireWord(reply, RequestHeaderSize);
  FUZZ_REQUIRE(status == varo::StatusOk || status == varo::StatusNotFound);
  const std::span<const std::uint8_t> payload = reply.subspan(RequestHeaderSize);
  const std::uint16_t requestExtra = WireWord(request, 10);
  using namespace varo;

  if (command == CmdArchive && subCommand == SubLista) {
    // The head, then 32-byte entries, no more than the reply area holds.
    FUZZ_REQUIRE(dataLength >= 4 && (dataLength - 4) % 32 == 0 && dataLength <= 4 + 62 * 32);
    FUZZ_REQUIRE((status == StatusOk) == (dataLength > 4));
    FUZZ_REQUIRE(extraLength == 0);
  } else if (command == CmdArchive && subCommand == SubCancellazione) {
    FUZZ_REQUIRE(dataLength == 2 && extraLength == requestExtra);
  } else if (subCommand == SubInfoTotocalcio || subCommand == SubInfoTotogol) {
    // One whole summary; a system not found has nothing but its status.
    FUZZ_REQUIRE(dataLength == 61 && extraLength == 0);
    if (status == StatusNotFound) {
      for (std::size_t i = 2; i < payload.size(); ++i) FUZZ_REQUIRE(payload[i] == 0);
    } else {
      FUZZ_REQUIRE(payload[28] >= 1 && payload[28] <= 12);  // month
      FUZZ_REQUIRE(payload[29] >= 1 && payload[29] <= 31);  // day
      FUZZ_REQUIRE(payload[56] == 1);                       // marker
    }
  } else {
    // A ticket: n packed columns of a side flag and 14-bit sign masks.
    const std::size_t columnSize = command == CmdTotocalcio ? 7 : 9;
    FUZZ_REQUIRE(dataLength >= 9 && extraLength == requestExtra);
    const std::size_t n = payload[8];
    FUZZ_REQUIRE(n <= 64 && dataLength == 9 + columnSize * n);
    FUZZ_REQUIRE((status == StatusOk) == (n > 0));
    for (std::size_t j = 0; j < n; ++j) {
      const std::span<const std::uint8_t> column = payload.subspan(9 + columnSize * j, columnSize);
      FUZZ_REQUIRE(column[0] <= 1);
      for (std::size_t mask = 1; mask < columnSize; mask += 2) FUZZ_REQUIRE(column[mask] < 0x40);
    }
  }
}

bool SameState(const varo::RequestState& a, const varo::RequestState& b) {
  return std::memcmp(&a.Request, &b.Request, RequestHeaderSize) == 0 &&
         std::memcmp(&a.Reply, &b.Reply, RequestHeaderSize) == 0 &&
         a.RequestPayload == b.RequestPayload && a.ExtraBlock == b.ExtraBlock &&
         a.ReplyPayload == b.ReplyPayload && a.OutputPort == b.OutputPort;
}

bool IsWellFormed(std::span<const std::uint8_t> request) {
  if (request.size() < RequestHeaderSize) return false;
  const std::size_t dataLength = WireWord(request, 8);
  const std::size_t extraLength = WireWord(request, 10);
  return dataLength <= 2000 && extraLength <= 2000 &&
         RequestHeaderSize + dataLength + extraLength <= request.size();
}

struct Server {
  varo::fuzz::FixtureArchive Archive;
  CountingLog Log;
  varo::HandlerTable Handlers = varo::MakeHandlerTable(Archive.Folders(), Log);
  // Kept across inputs as the server keeps it, so stale payload bytes are read too.
  varo::RequestState State;
  CapturingSender Sender;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Server server;
  varo::ReceivedDatagram datagram;
  datagram.Bytes.assign(data, data + size);
  datagram.SenderAddress = 0x0100007F;  // 127.0.0.1 in network order
  datagram.SenderPort = 40000;

  const bool wellFormed = IsWellFormed(datagram.Bytes);
  std::optional<varo::RequestState> before;
  if (!wellFormed) before = server.State;

  try {
    varo::UDPServerUDPRead(server.State, server.Handlers, datagram, server.Sender);
  } catch (...) {
    // A failed request gets no reply, as in the endpoint.
  }
  const auto reply = server.Sender.Take();
  if (!wellFormed) {
    // Dropped before anything is copied.
    FUZZ_REQUIRE(!reply);
    FUZZ_REQUIRE(SameState(*before, server.State));
  }
  if (reply) CheckReply(datagram.Bytes, *reply);
  server.Archive.Restore();
  return 0;
}
