#include "ReceivedDatagram.h"

#include <arpa/inet.h>

namespace varo {

std::string ReceivedDatagram::SenderText() const {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{};
  address.s_addr = SenderAddress;
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

}  // namespace varo
