// Request datagrams for tests, laid out byte by byte as a client would send them.
#pragma once

#include <cstdint>
#include <vector>

namespace varo::test {

struct RequestFields {
  std::uint16_t Command = 0;
  std::uint8_t SubCommand = 0;
  std::vector<std::uint8_t> Payload;
  std::vector<std::uint8_t> Extra;
  std::uint8_t Tag = 0;  // goes into echoed byte 0, to tell replies apart
};

// Header with the declared lengths of the payload and extra block, then both.
inline std::vector<std::uint8_t> BuildRequest(const RequestFields& fields) {
  std::vector<std::uint8_t> d(23, 0);
  d[0] = fields.Tag;
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

}  // namespace varo::test
