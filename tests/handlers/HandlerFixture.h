// End-to-end fixture: the real endpoint with the six handlers over loopback, a temporary Documents
// folder holding both game folders, and a log that records its lines.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "../endpoint/RequestBuilder.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "archive/ArchiveFolders.h"
#include "endpoint/LoopHandOver.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "handlers/Handlers.h"

namespace varo::test {

struct RecordingLog : ActivityLog {
  std::vector<std::string> Lines;
  void Append(const std::string& line) override { Lines.push_back(line); }
};

// Fourteen bytes of `fill`, with the given bytes changed.
inline std::string Column(std::uint8_t fill,
                          std::initializer_list<std::pair<int, int>> changes = {}) {
  std::string column(14, static_cast<char>(fill));
  for (const auto& [index, value] : changes) column[index] = static_cast<char>(value);
  return column;
}

// Bytes of the reply after its header.
inline Bytes PayloadOf(const Bytes& reply) {
  return Bytes(reply.begin() + 23, reply.end());
}

inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

// A name field: the text followed by blanks up to 20 bytes.
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

class HandlerTest : public ::testing::Test {
 protected:
  static constexpr std::uint8_t ProbeTag = 0xEE;

  TempDir documents;
  ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
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
    std::filesystem::create_directories(folders.TotocalcioFolder);
    std::filesystem::create_directories(folders.TotogolFolder);
    state.OutputPort = replies.Port();
    server.SetInputPort(inputPort);
    server.Activate();
  }

  // The reply to one request, waiting at most two seconds.
  std::optional<Bytes> Exchange(const RequestFields& fields) {
    client.SendTo(inputPort, BuildRequest(fields));
    std::optional<Bytes> got;
    handOver.ServeUntil(
        [&] {
          got = replies.Receive(std::chrono::milliseconds(0));
          return got.has_value();
        },
        std::chrono::seconds(2));
    return got;
  }

  // The request gets no reply: requests are answered in order, so a probe sent after it must be
  // the first reply to arrive.
  void ExpectNoReply(const RequestFields& fields) {
    client.SendTo(inputPort, BuildRequest(fields));
    const auto probe = Exchange({.Command = 1, .Tag = ProbeTag});
    ASSERT_TRUE(probe) << "no reply even to the probe";
    EXPECT_EQ((*probe)[0], ProbeTag) << "the request was answered";
  }

  // Writes a system file into a game's folder and returns its full path.
  std::string WriteSystem(std::uint8_t gameKind, const std::string& name,
                          const std::string& bytes) {
    const std::string folder = gameKind == 1 ? folders.TotocalcioFolder : folders.TotogolFolder;
    const std::filesystem::path relative =
        std::filesystem::relative(folder + "/" + name, documents.Path());
    return documents.WriteFile(relative.string(), bytes).string();
  }

  // Sets a file's modification time to noon of a local date.
  static void SetModified(const std::string& path, int year, int month, int day) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const timespec when{std::mktime(&local), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  static std::uint16_t DataLengthOf(const Bytes& reply) {
    return static_cast<std::uint16_t>(reply[8] << 8 | reply[9]);
  }
  static std::uint16_t ExtraLengthOf(const Bytes& reply) {
    return static_cast<std::uint16_t>(reply[10] << 8 | reply[11]);
  }

  // The log lines without their time stamps; each line must end in " [stamp]".
  std::vector<std::string> Bodies() const {
    static const std::regex stamped(R"(^(.*) \[[^\]\n]+\]$)");
    std::vector<std::string> bodies;
    for (const std::string& line : log.Lines) {
      std::smatch match;
      EXPECT_TRUE(std::regex_match(line, match, stamped)) << "no time stamp: " << line;
      bodies.push_back(match.size() > 1 ? match[1].str() : line);
    }
    return bodies;
  }
};

}  // namespace varo::test
