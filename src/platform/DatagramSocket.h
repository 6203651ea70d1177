// One IPv4 UDP socket bound to the any-address, with a wake-up that ends a wait from another
// thread. Addresses are IPv4, held in network byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>

namespace varo {

// Whether a number is a UDP port: one outside 16 bits is refused, never cut to another port.
inline bool IsPortNumber(std::int32_t port) {
  return port >= 0 && port <= 65535;
}

// Why a port could not be bound; NoResources: no socket could be made at all (no descriptors).
enum class BindFailure { InUse, NotPermitted, InvalidPort, NoResources, Other };

// What a wait for a datagram ended with.
enum class ReceiveOutcome {
  Datagram,  // a datagram is in the buffer, described by its DatagramInfo
  Dropped,   // nothing to hand on (a datagram longer than the buffer, a failed receive): wait again
  Woken,     // Wake() was called
};

struct DatagramInfo {
  std::size_t Length = 0;
  std::uint32_t SenderAddress = 0;
  std::uint16_t SenderPort = 0;
  std::uint32_t DestinationAddress = 0;  // the address it was sent to; 0 when not told
};

class DatagramSocket {
 public:
  DatagramSocket();
  ~DatagramSocket();
  DatagramSocket(const DatagramSocket&) = delete;
  DatagramSocket& operator=(const DatagramSocket&) = delete;

  // Binds the any-address at port (0: a port the system picks), exclusively, and prepares the
  // wake-up. Nothing on success; otherwise why not, with everything closed again.
  std::optional<BindFailure> Open(std::int32_t port);
  bool IsOpen() const { return handles_ != nullptr; }
  // Exchanges the sockets of the two, so one may be bound before the other is let go.
  void Swap(DatagramSocket& other) noexcept {
    handles_.swap(other.handles_);
    std::swap(boundPort_, other.boundPort_);
  }
  // The port actually bound.
  std::uint16_t BoundPort() const { return boundPort_; }

  // Waits for a datagram or a wake-up, whichever comes first; a wake-up wins when both are there.
  // A datagram longer than the buffer is read whole and dropped, never cut. With queuedOnly it
  // takes a datagram already queued, without waiting and also after a wake-up, and answers Woken
  // once none is left: what was sent to a socket about to close is served, not lost.
  ReceiveOutcome Receive(std::span<std::uint8_t> buffer, DatagramInfo& info,
                         bool queuedOnly = false);
  // Ends the current wait, and every later one, at once. Safe from any thread while open.
  void Wake();
  // Sends one datagram; a failure is not reported, as a lost datagram is not either.
  void SendTo(std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> bytes);
  // Closes the socket and the wake-up; no wait may be running.
  void Close();

 private:
  struct Handles;  // the system's own, in each implementation
  std::unique_ptr<Handles> handles_;
  std::uint16_t boundPort_ = 0;
};

}  // namespace varo
