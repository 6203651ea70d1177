// The access rule in force at the endpoint: a request from a source it does not serve is dropped
// before dispatch, like a malformed one (no handler, no log line, no reply), and counted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "endpoint/AccessRule.h"
#include "endpoint/ReceivedDatagram.h"
#include "endpoint/RefusedSources.h"

namespace varo {

class AccessGate {
 public:
  // Puts a rule in force; the refusals counted so far stay.
  void SetRule(AccessRule rule) { rule_ = std::move(rule); }
  const AccessRule& Rule() const { return rule_; }

  // Whether the datagram may be served; a refused one is counted, and notice hears of it when
  // that is due.
  bool Admit(const ReceivedDatagram& datagram,
             const std::function<void(const RefusalNotice&)>& notice);

  // Gives notice the count of refused requests not named yet, once one is due; a program
  // calls it every RefusalCountCheck, so no refusal waits for a further one to be told, and once
  // more when it stops serving (ending), so none goes untold.
  void TellUncounted(const std::function<void(const RefusalNotice&)>& notice, bool ending = false);

  // Requests refused since the start.
  std::uint64_t Refused() const { return refused_.Count(); }
  // The source of the latest refused request (network byte order); 0 before any.
  std::uint32_t LastRefused() const { return lastRefused_; }

 private:
  AccessRule rule_ = LocalNetworksRule();
  RefusedSources refused_;
  std::uint32_t lastRefused_ = 0;
};

}  // namespace varo
