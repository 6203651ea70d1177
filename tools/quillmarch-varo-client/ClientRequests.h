// The four requests of an operator, laid out as the server's readers expect them.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varo::client {

using Datagram = std::vector<std::uint8_t>;

// The game a request is about.
enum class Game { Totocalcio, Totogol };

// Six bytes carried in echoed header bytes 13 to 18, to tell this request's reply from others.
using RequestTag = std::array<std::uint8_t, 6>;

// A value the user typed that no request bytes can carry to the server as typed.
class RequestRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The game's name as shown to the user.
const char* GameName(Game game);

// A list request for the positions first to last (1-based, inclusive); throws RequestRefused.
Datagram BuildListRequest(Game game, std::uint32_t first, std::uint32_t last,
                          const RequestTag& tag);

// A delete request for the system with this code; throws RequestRefused.
Datagram BuildDeleteRequest(Game game, std::int32_t code, const RequestTag& tag);

// An information (summary) request for the system with this code; throws RequestRefused.
Datagram BuildInfoRequest(Game game, std::int32_t code, const RequestTag& tag);

// A request for ticket n (1-based) of the system with this code; throws RequestRefused.
Datagram BuildTicketRequest(Game game, std::int32_t code, std::uint32_t ticket,
                            const RequestTag& tag);

}  // namespace varo::client
