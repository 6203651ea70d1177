#include "ClientRequests.h"

#include "protocol/ClientCodecs.h"
#include "protocol/Commands.h"
#include "protocol/RequestHeader.h"

namespace varo::client {

namespace {

constexpr std::uint8_t GameKindTotocalcio = 1;
constexpr std::uint8_t GameKindTotogol = 2;

Datagram Header(std::uint16_t command, std::uint8_t subCommand, std::size_t dataLength,
                const RequestTag& tag) {
  Datagram d(RequestHeaderSize, 0);
  d[8] = static_cast<std::uint8_t>(dataLength >> 8);
  d[9] = static_cast<std::uint8_t>(dataLength);
  std::copy(tag.begin(), tag.end(), d.begin() + 13);
  d[20] = static_cast<std::uint8_t>(command >> 8);
  d[21] = static_cast<std::uint8_t>(command);
  d[22] = subCommand;
  return d;
}

void AppendWord(Datagram& d, std::uint32_t value, const std::string& what) {
  const auto bytes = EncodeWordForReader(value);
  if (!bytes) {
    throw RequestRefused(what + " " + std::to_string(value) +
                         " cannot be sent: the server reads at most 65280 there");
  }
  d.insert(d.end(), bytes->begin(), bytes->end());
}

void AppendCode(Datagram& d, std::int32_t code) {
  // The server compares codes as 32-bit patterns, so a negative code travels as its pattern.
  const auto pattern = static_cast<std::uint32_t>(code);
  const auto bytes = EncodeLongForReader(pattern);
  if (!bytes) {
    std::string why = pattern > 4278190080u
                          ? "the server reads at most 4278190080 there, and a negative code is "
                            "read as its 32-bit pattern (" +
                                std::to_string(pattern) + ")"
                          : "its remainder by 65535 is " + std::to_string(pattern % 65535) +
                                ", and the server reads at most 65280 in that half";
    throw RequestRefused("the code " + std::to_string(code) + " cannot be sent: " + why);
  }
  d.insert(d.end(), bytes->begin(), bytes->end());
}

std::uint8_t GameKind(Game game) {
  return game == Game::Totocalcio ? GameKindTotocalcio : GameKindTotogol;
}

}  // namespace

const char* GameName(Game game) {
  return game == Game::Totocalcio ? "Totocalcio" : "Totogol";
}

Datagram BuildListRequest(Game game, std::uint32_t first, std::uint32_t last,
                          const RequestTag& tag) {
  Datagram d = Header(CmdArchive, SubLista, 5, tag);
  d.push_back(GameKind(game));
  AppendWord(d, first, "the first position");
  AppendWord(d, last, "the last position");
  return d;
}

Datagram BuildDeleteRequest(Game game, std::int32_t code, const RequestTag& tag) {
  Datagram d = Header(CmdArchive, SubCancellazione, 5, tag);
  d.push_back(GameKind(game));
  AppendCode(d, code);
  return d;
}

Datagram BuildInfoRequest(Game game, std::int32_t code, const RequestTag& tag) {
  Datagram d = game == Game::Totocalcio ? Header(CmdTotocalcio, SubInfoTotocalcio, 4, tag)
                                        : Header(CmdTotogol, SubInfoTotogol, 4, tag);
  AppendCode(d, code);
  return d;
}

Datagram BuildTicketRequest(Game game, std::int32_t code, std::uint32_t ticket,
                            const RequestTag& tag) {
  Datagram d = game == Game::Totocalcio ? Header(CmdTotocalcio, SubBigliettoTotocalcio, 6, tag)
                                        : Header(CmdTotogol, SubBigliettoTotogol, 6, tag);
  AppendCode(d, code);
  AppendWord(d, ticket, "the ticket number");
  return d;
}

}  // namespace varo::client
