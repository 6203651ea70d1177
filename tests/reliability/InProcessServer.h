// The request endpoint with the six handlers in this process, over loopback, on a temporary
// Documents folder; replies are awaited for a bounded time while this thread serves hand-overs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "archive/ArchiveFolders.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"

namespace varo::test {

struct LineLog : ActivityLog {
  std::vector<std::string> Lines;
  void Append(const std::string& line) override { Lines.push_back(line); }
};

class InProcessServer : public ::testing::Test {
 protected:
  TempDir documents;
  ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
  std::filesystem::path calcio = folders.TotocalcioFolder;
  std::filesystem::path gol = folders.TotogolFolder;
  LineLog log;
  HandlerTable handlers = MakeHandlerTable(folders, log);
  LoopHandOver handOver;
  RequestState state;
  UdpPeer client;
  UdpPeer replies;
  std::uint16_t inputPort = FreeUdpPort();
  UDPServer server{handOver, [this](const ReceivedDatagram& d) {
                     UDPServerUDPRead(state, handlers, d, server);
                   }};

  void SetUp() override {
    std::filesystem::create_directories(calcio);
    std::filesystem::create_directories(gol);
    state.OutputPort = replies.Port();
    server.SetInputPort(inputPort);
    server.Activate();
  }

  // The reply to one request, waiting at most `seconds`.
  std::optional<ByteString> Exchange(const ByteString& request, double seconds = 2.0) {
    client.SendTo(inputPort, request);
    std::optional<ByteString> got;
    handOver.ServeUntil(
        [&] {
          got = replies.Receive(std::chrono::milliseconds(0));
          return got.has_value();
        },
        std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    return got;
  }

  // Whether the request went unanswered: requests are served in order, so the answer to an
  // unknown-pair probe sent after it must be the first to arrive.
  bool Unanswered(const ByteString& request) {
    client.SendTo(inputPort, request);
    const auto probe = Exchange(Request(999, 9, {}, 0xEE));
    return probe.has_value() && (*probe)[0] == 0xEE;
  }
};

}  // namespace varo::test
