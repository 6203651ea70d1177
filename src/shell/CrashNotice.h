// What a start tells of a crash of an earlier run, the same in both desktop programs: standard
// error (and so the event log), the status line and once a tray balloon.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace varo {

// The status line's note about a crash of the last run.
inline constexpr const char* CrashNoteKey = "crash";

// Reports kept in the folder: a crash beyond them removes the oldest.
inline constexpr std::size_t KeptCrashReports = 20;

// Takes the report a crash of an earlier run left in folder and tells standard error where it
// is; the user's words for it, or nothing when no crash is to be told. Each report is told at one
// start only; the oldest reports beyond KeptCrashReports are removed then.
std::optional<std::string> AnnounceEarlierCrash(const std::string& folder);

}  // namespace varo
