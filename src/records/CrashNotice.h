// What a start learns of a crash of an earlier run, which the desktop program then tells on
// standard error, in the event log, on the status line and once in a tray balloon.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace varo {

// Reports kept in the folder: a crash beyond them removes the oldest.
inline constexpr std::size_t KeptCrashReports = 20;

// A crash of an earlier run, as a start learns of it.
struct EarlierCrash {
  std::string Report;  // the path of its report
};

// Takes the report a crash of an earlier run left in folder; nothing when no crash is to be told.
// Each report is told at one start only; the oldest reports beyond KeptCrashReports are removed
// then.
std::optional<EarlierCrash> AnnounceEarlierCrash(const std::string& folder);

}  // namespace varo
