// Request datagrams for tests, laid out byte by byte as a client would send them.
#pragma once

#include <cstdint>
#include <vector>

namespace varo::test {

struct RequestSpec {
  std::uint16_t Command = 0;
  std::uint8_t SubCommand = 0;
  std::vector<std::uint8_t> Payload;
  std::vector<std::uint8_t> Extra;
  std::uint8_t Tag = 0;  // goes into echoed byte 0, to tell replies apart
};

// Header with the declared lengths of the payload and extra block, then both.
inline std::vector<std::uint8_t> BuildRequest(const RequestSpec& spec) {
  std::vector<std::uint8_t> d(23, 0);
  d[0] = spec.Tag;
  d[8] = static_cast<std::uint8_t>(spec.Payload.size() >> 8);
  d[9] = static_cast<std::uint8_t>(spec.Payload.size());
  d[10] = static_cast<std::uint8_t>(spec.Extra.size() >> 8);
  d[11] = static_cast<std::uint8_t>(spec.Extra.size());
  d[20] = static_cast<std::uint8_t>(spec.Command >> 8);
  d[21] = static_cast<std::uint8_t>(spec.Command);
  d[22] = spec.SubCommand;
  d.insert(d.end(), spec.Payload.begin(), spec.Payload.end());
  d.insert(d.end(), spec.Extra.begin(), spec.Extra.end());
  return d;
}

}  // namespace varo::test
