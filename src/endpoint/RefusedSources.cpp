#include "RefusedSources.h"

#include <iterator>

#include "endpoint/ReceivedDatagram.h"

namespace varo {

std::optional<std::string> RefusedSources::Refuse(std::uint32_t source, Clock::time_point now) {
  ++count_;
  if (const auto found = named_.find(source); found != named_.end()) {
    if (now - found->second < RefusalNoticeInterval) return std::nullopt;
    found->second = now;
  } else {
    if (named_.size() >= MostNamedSources) {
      // Sources named over a minute ago may be named again anyway: they make room.
      std::erase_if(
          named_, [now](const auto& entry) { return now - entry.second >= RefusalNoticeInterval; });
    }
    if (named_.size() >= MostNamedSources) {
      ++unnamed_;
      if (unnamedTold_ && now - *unnamedTold_ < RefusalNoticeInterval) return std::nullopt;
      unnamedTold_ = now;
      const std::uint64_t told = unnamed_;
      unnamed_ = 0;
      return "refused " + std::to_string(told) + " more request" + (told == 1 ? "" : "s") +
             " from sources not named here: not a local network; see [Accesso] Reti";
    }
    named_.emplace(source, now);
  }
  return "refused a request from " + DottedQuad(source) +
         ": not a local network; see [Accesso] Reti";
}

}  // namespace varo
