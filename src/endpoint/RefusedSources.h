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

// Sources named at most once a minute each; requests not named are counted in one line a minute.
inline constexpr std::chrono::minutes RefusalNoticeInterval{1};
// Sources remembered for that; requests from further sources are only counted.
inline constexpr std::size_t MostNamedSources = 1000;
// How often a program asks whether a counting line is due, so none waits for a further refusal.
inline constexpr std::chrono::seconds RefusalCountCheck{5};

// What is due to be told of refused requests: one named by its source, or how many were refused
// without being named (Source 0).
struct RefusalNotice {
  std::uint32_t Source = 0;  // network byte order
  std::uint64_t Unnamed = 0;
  bool operator==(const RefusalNotice&) const = default;
};

// Standard error's line for a notice.
std::string RefusalReport(const RefusalNotice& notice);

class RefusedSources {
 public:
  using Clock = std::chrono::steady_clock;

  // Counts a refused request from source (network byte order); returns the notice naming the
  // source when one is due. A request not named waits for Flush.
  std::optional<RefusalNotice> Refuse(std::uint32_t sourceNetworkOrder, Clock::time_point now);

  // The notice counting the refused requests not named yet, when one is due: at most one a
  // minute, so each is told within about a minute of its arrival. Ending, it is due at once.
  std::optional<RefusalNotice> Flush(Clock::time_point now, bool ending = false);

  // Requests refused since the start: those told on standard error and those still to be told.
  std::uint64_t Count() const { return count_; }

 private:
  std::unordered_map<std::uint32_t, Clock::time_point> named_;  // when each was last named
  std::uint64_t count_ = 0;
  std::uint64_t untold_ = 0;                  // refused, neither named nor counted in a line yet
  std::optional<Clock::time_point> counted_;  // when the last counting line was given
};

}  // namespace varo
