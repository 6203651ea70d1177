// What the shell's tests share: requests to the program and the replies it must send.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UdpPeer.h"
#include "shell/UserDialogs.h"

namespace varo::test {

// A request of the unknown pair (999, 9) carrying five payload bytes.
Bytes UnknownPairRequest();

// Its reply: the same 23 header bytes, then five zero bytes.
Bytes UnknownPairReply();

// A list request of the Totocalcio systems, positions 1 to 5.
Bytes TotocalcioListRequest();

// Its reply for an empty Totocalcio folder: status 870, the game byte, a count of 0.
Bytes EmptyTotocalcioListReply();

// A deletion request of the Totocalcio system with the code.
Bytes TotocalcioDeletion(std::uint8_t code);

// Whether a reply came and ends in the status word 00 01: the system was deleted.
bool ConfirmsDeletion(const std::optional<Bytes>& reply);

// Waits up to the seconds for a datagram at peer, calling serve (which runs the program's
// hand-overs for a few milliseconds) between looks.
std::optional<Bytes> ReceiveServing(UdpPeer& peer, double seconds,
                                    const std::function<void()>& serve);

// Whether the unknown pair sent from client to port is answered at replies within the seconds,
// serve running the program's hand-overs meanwhile.
bool AnswersUnknownPair(UdpPeer& client, std::uint16_t port, UdpPeer& replies, double seconds,
                        const std::function<void()>& serve);

// Answers the user's dialogs from a script and keeps what they asked and showed.
class ScriptedDialogs : public UserDialogs {
 public:
  struct Asked {
    std::string Caption, Prompt, Prefilled;
  };
  struct Message {
    std::string Caption, Text;
  };

  // The next scripted answer, or Cancel when none is left; whileOpen runs first.
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& prefilled) override;
  // Keeps the message; whileOpen runs then.
  void ShowMessage(const std::string& caption, const std::string& text) override;

  std::deque<std::optional<std::string>> answers;  // nothing stands for Cancel
  std::vector<Asked> asked;
  std::vector<Message> messages;
  std::function<void()> whileOpen;  // what happens while a dialog is open
};

}  // namespace varo::test
