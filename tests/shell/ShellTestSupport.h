// What the shell's tests share: requests to the program and the replies it must send.
#pragma once

#include "UdpPeer.h"

namespace varo::test {

// A request of the unknown pair (999, 9) carrying five payload bytes.
Bytes UnknownPairRequest();

// Its reply: the same 23 header bytes, then five zero bytes.
Bytes UnknownPairReply();

// A list request of the Totocalcio systems, positions 1 to 5.
Bytes TotocalcioListRequest();

// Its reply for an empty Totocalcio folder: status 870, the game byte, a count of 0.
Bytes EmptyTotocalcioListReply();

}  // namespace varo::test
