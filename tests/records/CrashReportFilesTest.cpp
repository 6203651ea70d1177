// Crash reports are pruned by their files' times: a start after the clock was set back must not
// remove the report it announces, whose name then sorts first.
#include "records/CrashReportFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "TempDir.h"

namespace varo {
namespace {

namespace fs = std::filesystem;

TEST(CrashReports, TheOldestByTheirTimesGoWithTheirMinidumpsWhateverTheirNames) {
  test::TempDir dir;
  const auto now = fs::file_time_type::clock::now();
  // Named newest first but written oldest first: the clock went back between the crashes.
  const struct {
    const char* Name;
    int HoursAgo;
  } reports[] = {{"crash-2027-01-01T000000", 3}, {"crash-2026-06-01T000000", 2},
                 {"crash-2026-01-01T000000", 1}};
  for (const auto& report : reports) {
    for (const char* extension : {".txt", ".dmp"}) {
      const fs::path path = dir.WriteFile(std::string(report.Name) + extension, "x");
      fs::last_write_time(path, now - std::chrono::hours(report.HoursAgo));
    }
  }
  const fs::path other = dir.WriteFile("eventi.log", "kept");
  fs::last_write_time(other, now - std::chrono::hours(9));

  PruneCrashReports(test::Utf8(dir.Path()), 2);
  EXPECT_FALSE(fs::exists(dir.Path() / "crash-2027-01-01T000000.txt"));
  EXPECT_FALSE(fs::exists(dir.Path() / "crash-2027-01-01T000000.dmp"));
  for (const char* kept : {"crash-2026-06-01T000000", "crash-2026-01-01T000000"}) {
    EXPECT_TRUE(fs::exists(dir.Path() / (std::string(kept) + ".txt"))) << kept;
    EXPECT_TRUE(fs::exists(dir.Path() / (std::string(kept) + ".dmp"))) << kept;
  }
  EXPECT_TRUE(fs::exists(other));
}

}  // namespace
}  // namespace varo
