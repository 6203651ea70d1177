// The command line of the operator's client.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ClientRequests.h"

namespace varo::client {

// How the client ends.
inline constexpr int ExitDone = 0;
inline constexpr int ExitNotFound = 1;  // the server answered StatusNotFound
inline constexpr int ExitNoAnswer = 2;  // nothing answered within the timeout
// Unknown host, no socket, reply port not bindable, send/wait/receive failed, unreadable reply.
inline constexpr int ExitFailure = 3;
// The server's host reported that nothing listens on the server's port (ICMP port unreachable).
inline constexpr int ExitPortClosed = 4;
inline constexpr int ExitUsage = 64;  // bad command line or a value no request can carry

enum class Action { Help, Version, List, Info, Ticket, Delete };

struct ClientOptions {
  Action What = Action::Help;
  Game Which = Game::Totocalcio;
  std::uint32_t First = 1;
  std::uint32_t Last = 65280;
  std::int32_t Code = 0;
  std::uint32_t Ticket = 0;
  std::string Host = "127.0.0.1";
  std::uint16_t Port = 7770;
  std::uint16_t ReplyPort = 7000;
  double TimeoutSeconds = 2;
  bool Json = false;
};

// A command line the client cannot run; its text says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name; throws UsageError.
ClientOptions ParseClientOptions(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

// The line of --version: the program's name and the project's version.
std::string VersionText();

}  // namespace varo::client
