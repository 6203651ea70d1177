#include "UdpPeer.h"

#include <ctime>
#include <random>
#include <stdexcept>

namespace varo::test {

std::uint16_t FreeUdpPort() {
  // Below the system's ephemeral range (32768 and up on Linux, 49152 and up on Windows), so a peer
  // that binds port 0 in a test running alongside cannot be given the port between this check and
  // its use. Each process starts its picks elsewhere, so tests run in parallel rarely collide.
  static std::minstd_rand pick(std::random_device{}() ^ static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const auto port = static_cast<std::uint16_t>(20000 + pick() % 12000);
    try {
      UdpPeer probe(port, "0.0.0.0");
      return port;
    } catch (const std::runtime_error&) {
    }
  }
  UdpPeer probe;
  return probe.Port();
}

}  // namespace varo::test
