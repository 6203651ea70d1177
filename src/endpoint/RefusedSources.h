// The requests refused by the access rule, counted, and named to the operator without letting a
// flood of them flood standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace varo {

// Sources named at most once a minute each.
inline constexpr std::chrono::minutes RefusalNoticeInterval{1};
// Sources remembered for that; requests from further sources are counted in one line a minute.
inline constexpr std::size_t MostNamedSources = 1000;

class RefusedSources {
 public:
  using Clock = std::chrono::steady_clock;

  // Counts a refused request from source (network byte order); returns the line standard error
  // gets, when one is due.
  std::optional<std::string> Refuse(std::uint32_t sourceNetworkOrder, Clock::time_point now);

  // Requests refused since the start.
  std::uint64_t Count() const { return count_; }

 private:
  std::unordered_map<std::uint32_t, Clock::time_point> named_;  // when each was last named
  std::uint64_t count_ = 0;
  std::uint64_t unnamed_ = 0;  // refused from sources beyond the remembered ones, not yet told
  std::optional<Clock::time_point> unnamedTold_;
};

}  // namespace varo
