#include "AccessGate.h"

namespace varo {

bool AccessGate::Admit(const ReceivedDatagram& datagram,
                       const std::function<void(const RefusalNotice&)>& notice) {
  if (MayAsk(rule_, datagram.SenderAddress)) return true;
  lastRefused_ = datagram.SenderAddress;
  const auto told = refused_.Refuse(datagram.SenderAddress, RefusedSources::Clock::now());
  if (told && notice) notice(*told);
  return false;
}

void AccessGate::TellUncounted(const std::function<void(const RefusalNotice&)>& notice,
                               bool ending) {
  const auto told = refused_.Flush(RefusedSources::Clock::now(), ending);
  if (told && notice) notice(*told);
}

}  // namespace varo
