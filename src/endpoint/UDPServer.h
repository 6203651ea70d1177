// The UDP endpoint: one IPv4 socket on the input port and one listener thread while active.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "MainThreadHandOver.h"
#include "ReceivedDatagram.h"
#include "ReplySender.h"
#include "platform/DatagramSocket.h"

namespace varo {

// The text of every failure to bind the input port.
inline constexpr const char* BindErrorText =
    "Could not bind socket. Address and port are already in use.";
// The text when no socket could be made at all: that is no port in use.
inline constexpr const char* SocketErrorText = "Could not create socket. No descriptors are left.";

// Why the input port could not be bound (BindFailure) is kept; the text stays the same whatever
// the port's fault, and differs only when no socket could be made.
class BindError : public std::runtime_error {
 public:
  explicit BindError(BindFailure why = BindFailure::Other)
      : std::runtime_error(why == BindFailure::NoResources ? SocketErrorText : BindErrorText),
        why_(why) {}
  BindFailure Why() const { return why_; }

 private:
  BindFailure why_;
};

class UDPServer : public ReplySender {
 public:
  // Runs on the main thread for every datagram received; may throw (the datagram is dropped).
  using ReadEvent = std::function<void(const ReceivedDatagram&)>;
  // Starts the listener thread running body; throws std::system_error when no thread can be
  // created.
  using ListenerStarter = std::function<std::thread(std::function<void()> body)>;

  UDPServer(MainThreadHandOver& handOver, ReadEvent onRead);
  ~UDPServer() override;
  UDPServer(const UDPServer&) = delete;
  UDPServer& operator=(const UDPServer&) = delete;

  // Stores the port for the next activation; an open socket is not touched.
  void SetInputPort(std::int32_t port) { inputPort_ = port; }
  std::int32_t InputPort() const { return inputPort_; }

  // Binds the any-address at the input port and starts the listener. Throws BindError, or
  // std::system_error when the thread cannot be created; a failure leaves it inactive, all closed.
  void Activate();
  // Moves the endpoint to port: binds it first, then runs beforeSwitch (which may throw), then
  // serves what the old socket had queued by then (for at most 100 ms: a sender that keeps
  // sending there cannot hold the caller), lets it go and listens on the new one (whose own queue
  // waits meanwhile), so no request queued before the move is lost to it. A failure to bind
  // (BindError) or of beforeSwitch leaves the endpoint as it was; std::system_error when the new
  // listener cannot start leaves it inactive. On the port it already listens on, only
  // beforeSwitch runs.
  void MoveTo(std::int32_t port, const std::function<void()>& beforeSwitch);
  // Stops the listener and closes the socket; serves pending hand-overs while it waits.
  void Deactivate();
  bool Active() const { return socket_.IsOpen(); }
  // Replaces how the listener thread is started (a test makes it fail).
  void SetListenerStarter(ListenerStarter starter) { startListener_ = std::move(starter); }

  // Sends from the input-port socket; dropped when inactive, stopping or the port is invalid.
  void SendReply(const ReceivedDatagram& request, std::int32_t outputPort,
                 std::span<const std::uint8_t> reply) override;

 private:
  // Starts the listener on the open socket; closes it when no thread can be made.
  void StartListener();
  void Listen(std::uint16_t boundPort);
  // Stops the listener; with serveQueued, serves on this thread what the socket still holds
  // before it closes.
  void Stop(bool serveQueued);
  // Serves on this thread what the stopped socket had queued at this moment, within a deadline.
  void ServeQueued();
  // The datagram the buffer holds, as the handlers get it; nothing for one to drop unanswered.
  static std::optional<ReceivedDatagram> Delivered(const std::vector<std::uint8_t>& buffer,
                                                   const DatagramInfo& info,
                                                   std::uint16_t boundPort);
  // Runs the read event, an error ending only its own request.
  void Serve(const ReceivedDatagram& datagram);

  MainThreadHandOver& handOver_;
  ReadEvent onRead_;
  ListenerStarter startListener_;
  std::int32_t inputPort_ = 7770;
  DatagramSocket socket_;
  std::atomic<bool> stopping_{false};
  bool servingQueued_ = false;  // replies of the old socket's queue still go out
  std::atomic<bool> listenerEnded_{true};
  std::thread listener_;
};

}  // namespace varo
