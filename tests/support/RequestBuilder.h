// Request datagrams for tests, laid out byte by byte as a client would send them, and the parts of
// the replies they get.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace varo::test {

using Bytes = std::vector<std::uint8_t>;

struct RequestFields {
  std::uint16_t Command = 0;
  std::uint8_t SubCommand = 0;
  Bytes Payload;
  Bytes Extra;
  std::uint8_t Tag = 0;        // goes into echoed byte 0, to tell replies apart
  std::uint32_t Sequence = 0;  // goes into the echoed bytes 1 to 4, most significant first
};

// Header with the declared lengths of the payload and extra block, then both.
inline Bytes BuildRequest(const RequestFields& fields) {
  Bytes d(23, 0);
  d[0] = fields.Tag;
  d[1] = static_cast<std::uint8_t>(fields.Sequence >> 24);
  d[2] = static_cast<std::uint8_t>(fields.Sequence >> 16);
  d[3] = static_cast<std::uint8_t>(fields.Sequence >> 8);
  d[4] = static_cast<std::uint8_t>(fields.Sequence);
  d[8] = static_cast<std::uint8_t>(fields.Payload.size() >> 8);
  d[9] = static_cast<std::uint8_t>(fields.Payload.size());
  d[10] = static_cast<std::uint8_t>(fields.Extra.size() >> 8);
  d[11] = static_cast<std::uint8_t>(fields.Extra.size());
  d[20] = static_cast<std::uint8_t>(fields.Command >> 8);
  d[21] = static_cast<std::uint8_t>(fields.Command);
  d[22] = fields.SubCommand;
  d.insert(d.end(), fields.Payload.begin(), fields.Payload.end());
  d.insert(d.end(), fields.Extra.begin(), fields.Extra.end());
  return d;
}

// A request without an extra block, in one line.
inline Bytes Request(std::uint16_t command, std::uint8_t subCommand, const Bytes& payload,
                     std::uint8_t tag = 0, std::uint32_t sequence = 0) {
  return BuildRequest({.Command = command,
                       .SubCommand = subCommand,
                       .Payload = payload,
                       .Tag = tag,
                       .Sequence = sequence});
}

// The header a reply carries for this request: the request's 23 bytes with the given DataLength
// and ExtraLength.
inline Bytes ReplyHeaderFor(const Bytes& request, std::uint16_t dataLength,
                            std::uint16_t extraLength = 0) {
  Bytes h(request.begin(), request.begin() + 23);
  h[8] = static_cast<std::uint8_t>(dataLength >> 8);
  h[9] = static_cast<std::uint8_t>(dataLength);
  h[10] = static_cast<std::uint8_t>(extraLength >> 8);
  h[11] = static_cast<std::uint8_t>(extraLength);
  return h;
}

inline std::uint16_t DataLengthOf(const Bytes& reply) {
  return static_cast<std::uint16_t>(reply[8] << 8 | reply[9]);
}

inline std::uint16_t ExtraLengthOf(const Bytes& reply) {
  return static_cast<std::uint16_t>(reply[10] << 8 | reply[11]);
}

// Bytes of the reply after its header.
inline Bytes PayloadOf(const Bytes& reply) {
  return Bytes(reply.begin() + 23, reply.end());
}

inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

// A name field: the name's bytes followed by blanks up to 20.
inline Bytes NameField(const std::string& name) {
  Bytes field(name.begin(), name.end());
  field.resize(20, ' ');
  return field;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline Bytes Repeat(const Bytes& part, std::size_t times) {
  Bytes all;
  for (std::size_t i = 0; i < times; ++i) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The payload of a summary answered with status 1 for a system without side combinations: code,
// name, date and tickets, then main, side (none) and all combinations, main, side (none) and total
// cost, the marker 1 and the total cost again.
inline Bytes SummaryWithoutSide(const Bytes& code, const std::string& name, const Bytes& date,
                                const Bytes& tickets, const Bytes& combinations,
                                const Bytes& cost) {
  const Bytes none = {0, 0, 0, 0};
  return Concat({{0x00, 0x01},
                 code,
                 NameField(name),
                 date,
                 tickets,
                 combinations,
                 none,
                 combinations,
                 cost,
                 none,
                 cost,
                 {0x01},
                 cost});
}

}  // namespace varo::test
