#include "UDPServer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>
#include <vector>

#include "platform/CrashReporter.h"

namespace varo {

namespace {

// The largest datagram the endpoint accepts; a longer one is detected and dropped.
constexpr std::size_t ReceiveBufferSize = 8192;

// The longest a move serves what the old port had queued.
constexpr std::chrono::milliseconds QueuedServingLimit(100);

// What the old socket's marker begins with; the move's number follows.
constexpr std::uint8_t MoveMarkerTag[8] = {'v', 'a', 'r', 'o', 'm', 'o', 'v', 'e'};

// 127.0.0.1 in network byte order.
std::uint32_t LoopbackAddress() {
  const std::uint8_t bytes[4] = {127, 0, 0, 1};
  std::uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

}  // namespace

UDPServer::UDPServer(MainThreadHandOver& handOver, ReadEvent onRead)
    : handOver_(handOver),
      onRead_(std::move(onRead)),
      startListener_([](std::function<void()> body) { return std::thread(std::move(body)); }) {}

UDPServer::~UDPServer() {
  Deactivate();
}

void UDPServer::Activate() {
  if (Active()) return;
  if (const auto failure = socket_.Open(inputPort_)) throw BindError(*failure);
  StartListener();
}

void UDPServer::MoveTo(std::int32_t port, const std::function<void()>& beforeSwitch) {
  if (Active() && port == inputPort_) {
    beforeSwitch();
    return;
  }
  // Bound before the old port is let go: a port that cannot be had leaves the server serving.
  DatagramSocket fresh;
  if (const auto failure = fresh.Open(port)) throw BindError(*failure);
  beforeSwitch();
  Stop(true);
  inputPort_ = port;
  socket_.Swap(fresh);
  StartListener();
}

void UDPServer::StartListener() {
  // Port 0 binds a port the system picks; the listener compares with the one actually bound.
  const std::uint16_t boundPort = socket_.BoundPort();
  stopping_ = false;
  listenerEnded_ = false;
  try {
    listener_ = startListener_([this, boundPort] { Listen(boundPort); });
  } catch (const std::system_error& error) {
    // Without a listener nothing would ever end, and Deactivate would wait for it forever.
    listenerEnded_ = true;
    socket_.Close();
    throw std::system_error(error.code(), "cannot start the request listener");
  }
}

void UDPServer::Deactivate() {
  Stop(false);
}

void UDPServer::Stop(bool serveQueued) {
  if (!Active()) return;
  // Moving, the request in flight and those queued are answered from the port they were sent to.
  servingQueued_ = serveQueued;
  stopping_ = true;
  socket_.Wake();
  // The listener may be waiting for the main thread (this one) to handle a datagram.
  while (!listenerEnded_) {
    handOver_.ServePending();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  listener_.join();
  if (serveQueued) ServeQueued();
  servingQueued_ = false;
  socket_.Close();
}

void UDPServer::ServeQueued() {
  // What the old socket held when the new port was bound is served, and no more: a marker the
  // socket sends itself now queues behind it, and what a sender keeps sending to the old port
  // queues behind the marker. The marker may be lost to a full buffer, so the deadline holds in
  // any case; the main thread waits for nothing longer.
  static std::atomic<std::uint64_t> moves{0};
  const std::uint64_t move = moves.fetch_add(1);
  std::array<std::uint8_t, sizeof MoveMarkerTag + sizeof move> marker{};
  std::memcpy(marker.data(), MoveMarkerTag, sizeof MoveMarkerTag);
  std::memcpy(marker.data() + sizeof MoveMarkerTag, &move, sizeof move);
  const std::uint16_t boundPort = socket_.BoundPort();
  socket_.SendTo(LoopbackAddress(), boundPort, marker);

  const auto deadline = std::chrono::steady_clock::now() + QueuedServingLimit;
  std::vector<std::uint8_t> buffer(ReceiveBufferSize);
  while (std::chrono::steady_clock::now() < deadline) {
    DatagramInfo info;
    const ReceiveOutcome outcome = socket_.Receive(buffer, info, true);
    if (outcome == ReceiveOutcome::Woken) break;
    if (outcome != ReceiveOutcome::Datagram) continue;
    if (info.SenderPort == boundPort && info.Length == marker.size() &&
        std::equal(marker.begin(), marker.end(), buffer.begin())) {
      break;
    }
    if (const auto datagram = Delivered(buffer, info, boundPort)) Serve(*datagram);
  }
}

void UDPServer::SendReply(const ReceivedDatagram& request, std::int32_t outputPort,
                          std::span<const std::uint8_t> reply) {
  if (!Active() || (stopping_ && !servingQueued_) || !IsPortNumber(outputPort)) return;
  // A reply that cannot be sent is dropped; the request has been served all the same.
  socket_.SendTo(request.SenderAddress, static_cast<std::uint16_t>(outputPort), reply);
}

void UDPServer::Listen(std::uint16_t boundPort) {
  PrepareThreadForCrashReports();
  std::vector<std::uint8_t> buffer(ReceiveBufferSize);
  while (!stopping_) {
    DatagramInfo info;
    const ReceiveOutcome outcome = socket_.Receive(buffer, info);
    if (stopping_ || outcome == ReceiveOutcome::Woken) break;
    if (outcome != ReceiveOutcome::Datagram) continue;
    if (const auto datagram = Delivered(buffer, info, boundPort)) {
      handOver_.RunOnMainThread([&] { Serve(*datagram); });
    }
  }
  listenerEnded_ = true;
}

std::optional<ReceivedDatagram> UDPServer::Delivered(const std::vector<std::uint8_t>& buffer,
                                                     const DatagramInfo& info,
                                                     std::uint16_t boundPort) {
  ReceivedDatagram datagram;
  datagram.SenderAddress = info.SenderAddress;
  datagram.SenderPort = info.SenderPort;
  datagram.DestinationAddress = info.DestinationAddress;
  // Dropped here, before any handler or log line: answering it would answer itself forever.
  if (IsOwnReply(datagram, boundPort)) return std::nullopt;
  datagram.Bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(info.Length));
  return datagram;
}

void UDPServer::Serve(const ReceivedDatagram& datagram) {
  // An error of the main thread ends only its own request: no reply, next datagram.
  try {
    if (onRead_) onRead_(datagram);
  } catch (...) {
  }
}

}  // namespace varo
