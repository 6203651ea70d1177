// A crash report's time carries the offset from UTC in force when the process crashes, not the one
// in force when it started: the zone changes here as summer time would.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "SystemFiles.h"
#include "TempDir.h"
#include "platform/CrashReporter.h"

namespace varo {
namespace {

TEST(CrashTime, AReportCarriesTheOffsetKeptLastNotTheOneAtStart) {
  for (const bool kept : {true, false}) {
    test::TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::setenv("TZ", "UTC0", 1);
      ::tzset();
      InstallCrashReporter(dir.Path().string(), "crash-time", "1.0");
      ::setenv("TZ", "<+0530>-5:30", 1);
      ::tzset();
      if (kept) KeepCrashTimeCurrent();
      ::raise(SIGSEGV);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::string report;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      if (entry.path().extension() == ".txt") report = test::FileBytes(entry.path());
    }
    const std::size_t time = report.find("\ntime: ");
    ASSERT_NE(time, std::string::npos) << report;
    EXPECT_EQ(report.substr(time + 26, 6), kept ? "+05:30" : "+00:00") << report;
  }
}

}  // namespace
}  // namespace varo
