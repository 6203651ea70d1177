// The real endpoint with the six handlers in this process, over loopback, on a temporary Documents
// folder holding both game folders, with a log that records its lines. Replies are awaited for a
// bounded time while this thread serves the hand-overs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "RequestBuilder.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "archive/ArchiveFolders.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"
#include "platform/Paths.h"

namespace varo::test {

struct RecordingLog : ActivityLog {
  std::vector<std::string> Lines;
  void Append(const std::string& line) override { Lines.push_back(line); }
};

// Log lines without their time stamps; each line must end in " [stamp]".
inline std::vector<std::string> WithoutStamps(const std::vector<std::string>& lines) {
  static const std::regex stamped(R"(^(.*) \[[^\]\n]+\]$)");
  std::vector<std::string> bodies;
  for (const std::string& line : lines) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, stamped)) << "no time stamp: " << line;
    bodies.push_back(match.size() > 1 ? match[1].str() : line);
  }
  return bodies;
}

class InProcessServer : public ::testing::Test {
 protected:
  // Byte 0 of the probe that tells an unanswered request from a slow one.
  static constexpr std::uint8_t ProbeTag = 0xEE;

  // On a volume whose readings are kept, so that the kept summaries and listings are in play.
  TempDir documents{KeepingVolume()};
  ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
  std::filesystem::path calcio = folders.TotocalcioFolder;
  std::filesystem::path gol = folders.TotogolFolder;
  RecordingLog log;
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
  std::optional<Bytes> Exchange(const Bytes& request, double seconds = 2.0) {
    client.SendTo(inputPort, request);
    std::optional<Bytes> got;
    handOver.ServeUntil(
        [&] {
          got = replies.Receive(std::chrono::milliseconds(0));
          return got.has_value();
        },
        std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    return got;
  }
  std::optional<Bytes> Exchange(const RequestFields& fields) {
    return Exchange(BuildRequest(fields));
  }

  // Whether the request went unanswered: requests are served in order, so the answer to an
  // unknown-pair probe sent after it must be the first to arrive.
  ::testing::AssertionResult Unanswered(const Bytes& request) {
    client.SendTo(inputPort, request);
    const auto probe = Exchange(Request(999, 9, {}, ProbeTag));
    if (!probe) return ::testing::AssertionFailure() << "no reply even to the probe";
    if ((*probe)[0] != ProbeTag) return ::testing::AssertionFailure() << "the request was answered";
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult Unanswered(const RequestFields& fields) {
    return Unanswered(BuildRequest(fields));
  }

  // Writes a system file into a game's folder and returns its full path, as the server builds it.
  std::string WriteSystem(std::uint8_t gameKind, const std::string& name,
                          const std::string& bytes) {
    const std::string folder = gameKind == 1 ? folders.TotocalcioFolder : folders.TotogolFolder;
    const std::string path = JoinPath(folder, name);
    // The program's paths are UTF-8; std::filesystem reads a plain string in the ANSI code page
    // on Windows.
    std::filesystem::create_directories(std::u8string(folder.begin(), folder.end()));
    WriteBytes(std::u8string(path.begin(), path.end()), bytes);
    return path;
  }

  // The log lines so far without their time stamps.
  std::vector<std::string> Bodies() const { return WithoutStamps(log.Lines); }
};

}  // namespace varo::test
