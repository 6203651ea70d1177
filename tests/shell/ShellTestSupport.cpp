#include "ShellTestSupport.h"

#include <chrono>

namespace varo::test {

namespace {

// Header bytes written out by hand: DataLength 5 at offset 8, ExtraLength 0 at 10,
// Command 999 (03 E7) at 20, SubCommand 9 at 22; the rest is echoed.
const Bytes Header = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x00, 0x05, 0x00, 0x00,
                      0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x03, 0xE7, 0x09};

}  // namespace

Bytes UnknownPairRequest() {
  Bytes request = Header;
  for (std::uint8_t b : {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}) request.push_back(b);
  return request;
}

Bytes UnknownPairReply() {
  Bytes reply = Header;
  reply.resize(reply.size() + 5, 0x00);
  return reply;
}

Bytes TotocalcioListRequest() {
  // Command 510 (01 FE), SubCommand 1, DataLength 5; payload: game 1, first 1, last 5.
  return {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x00, 0x05, 0x00, 0x00, 0x41, 0x42,
          0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x01, 0xFE, 0x01, 0x01, 0x00, 0x01, 0x00, 0x05};
}

Bytes EmptyTotocalcioListReply() {
  // The request header with DataLength 4 and ExtraLength 0, then 03 66 (870), 01, 00.
  return {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x00, 0x04, 0x00, 0x00, 0x41, 0x42,
          0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x01, 0xFE, 0x01, 0x03, 0x66, 0x01, 0x00};
}

Bytes TotocalcioDeletion(std::uint8_t code) {
  // Command 510 (01 FE), SubCommand 2, DataLength 5; payload: game 1, the code (00 00 00 code).
  return {0, 0, 0, 0, 0, 0, 0,    0,    0x00, 0x05, 0,    0,    0,    0,
          0, 0, 0, 0, 0, 0, 0x01, 0xFE, 0x02, 0x01, 0x00, 0x00, 0x00, code};
}

bool ConfirmsDeletion(const std::optional<Bytes>& reply) {
  return reply && reply->size() >= 2 && (*reply)[reply->size() - 2] == 0x00 && reply->back() == 0x01;
}

std::optional<Bytes> ReceiveServing(UdpPeer& peer, double seconds,
                                    const std::function<void()>& serve) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    serve();
    if (auto reply = peer.Receive(std::chrono::milliseconds(5))) return reply;
  }
  return std::nullopt;
}

bool AnswersUnknownPair(UdpPeer& client, std::uint16_t port, UdpPeer& replies, double seconds,
                        const std::function<void()>& serve) {
  client.SendTo(port, UnknownPairRequest());
  const auto reply = ReceiveServing(replies, seconds, serve);
  return reply.has_value() && *reply == UnknownPairReply();
}

std::optional<std::string> ScriptedDialogs::AskText(const std::string& caption,
                                                    const std::string& prompt,
                                                    const std::string& prefilled) {
  asked.push_back({caption, prompt, prefilled});
  if (whileOpen) whileOpen();
  if (answers.empty()) return std::nullopt;
  std::optional<std::string> answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedDialogs::ShowMessage(const std::string& caption, const std::string& text) {
  messages.push_back({caption, text});
  if (whileOpen) whileOpen();
}

}  // namespace varo::test
