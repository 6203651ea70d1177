#include "RefusedSources.h"

#include <iterator>

#include "endpoint/ReceivedDatagram.h"

namespace varo {

std::string RefusalReport(const RefusalNotice& notice) {
  if (notice.Source != 0) {
    return "refused a request from " + DottedQuad(notice.Source) +
           ": not a local network; see [Accesso] Reti";
  }
  return "refused " + std::to_string(notice.Unnamed) + " more request" +
         (notice.Unnamed == 1 ? "" : "s") +
         " from sources named in the last minute or not named: not a local network; see "
         "[Accesso] Reti";
}

std::optional<RefusalNotice> RefusedSources::Refuse(std::uint32_t source, Clock::time_point now) {
  ++count_;
  if (const auto found = named_.find(source); found != named_.end()) {
    if (now - found->second < RefusalNoticeInterval) {
      ++untold_;
      return std::nullopt;
    }
    found->second = now;
  } else {
    if (named_.size() >= MostNamedSources) {
      // Sources named over a minute ago may be named again anyway: they make room.
      std::erase_if(
          named_, [now](const auto& entry) { return now - entry.second >= RefusalNoticeInterval; });
    }
    if (named_.size() >= MostNamedSources) {
      ++untold_;
      return std::nullopt;
    }
    named_.emplace(source, now);
  }
  return RefusalNotice{.Source = source};
}

std::optional<RefusalNotice> RefusedSources::Flush(Clock::time_point now, bool ending) {
  if (untold_ == 0) return std::nullopt;
  if (!ending && counted_ && now - *counted_ < RefusalNoticeInterval) return std::nullopt;
  counted_ = now;
  const std::uint64_t told = untold_;
  untold_ = 0;
  return RefusalNotice{.Unnamed = told};
}

}  // namespace varo
