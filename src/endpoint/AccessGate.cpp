#include "AccessGate.h"

namespace varo {

bool AccessGate::Admit(const ReceivedDatagram& datagram,
                       const std::function<void(const std::string&)>& notice) {
  if (MayAsk(rule_, datagram.SenderAddress)) return true;
  lastRefused_ = datagram.SenderAddress;
  const auto line = refused_.Refuse(datagram.SenderAddress, RefusedSources::Clock::now());
  if (line && notice) notice(*line);
  return false;
}

void AccessGate::TellUncounted(const std::function<void(const std::string&)>& notice,
                               bool ending) {
  const auto line = refused_.Flush(RefusedSources::Clock::now(), ending);
  if (line && notice) notice(*line);
}

}  // namespace varo
