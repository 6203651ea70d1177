// The event log file is the user's own: private modes, no link followed, nothing but a regular file
// written, and a line torn by a full disk never glued to the next.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "SystemFiles.h"
#include "TempDir.h"
#include "records/ErrorLine.h"
#include "records/EventLog.h"

namespace varo {
namespace {

namespace fs = std::filesystem;

unsigned ModeOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

TEST(EventLogFile, IsPrivateRefusesWhatIsNoRegularFileAndStartsAfterATornLineOnANewLine) {
  test::TempDir dir;
  const fs::path folder = dir.Path() / "state" / "Quillmarch Varo Server";
  const fs::path file = folder / "eventi.log";
  EventLog log(test::Utf8(folder));
  std::vector<EventLogProblem> problems;
  log.OnProblemChanged([&](EventLogProblem problem) { problems.push_back(problem); });

  // Made readable by the user alone, whatever the umask lets through: it names who asked.
  const mode_t umask = ::umask(022);
  log.Write("one");
  ::umask(umask);
  EXPECT_EQ(ModeOf(dir.Path() / "state"), 0700u);
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(file), 0600u);

  // A line cut short by a full disk: the next event starts a line of its own.
  test::WriteBytes(file, "2026-12-08T10:15:02+01:00 cancell");
  log.Write("two");
  EXPECT_TRUE(test::FileBytes(file).starts_with("2026-12-08T10:15:02+01:00 cancell\n"))
      << test::FileBytes(file);
  EXPECT_TRUE(test::FileBytes(file).ends_with(" two\n"));
  EXPECT_TRUE(problems.empty());

  // A link or a FIFO in the file's place is a log that cannot be written, told at once: the link's
  // target stays untouched, and the FIFO, with nobody reading it, never holds the writer.
  const fs::path target = dir.WriteFile("elsewhere.txt", "kept");
  const struct {
    const char* What;
    void (*Make)(const fs::path& file, const fs::path& target);
  } intruders[] = {
      {"link", [](const fs::path& f, const fs::path& t) { fs::create_symlink(t, f); }},
      {"fifo", [](const fs::path& f, const fs::path&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
  };
  for (const auto& intruder : intruders) {
    fs::remove(file);
    intruder.Make(file, target);
    problems.clear();
    auto written = std::async(std::launch::async, [&log] { log.Write("three"); });
    if (written.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // A writer held by the FIFO is let go by a reader, so the test ends either way.
      const int reader = ::open(file.c_str(), O_RDONLY | O_NONBLOCK);
      written.wait();
      ::close(reader);
      FAIL() << intruder.What << " held the writer";
    }
    EXPECT_EQ(problems, std::vector<EventLogProblem>{EventLogProblem::NotWritable})
        << intruder.What;
    EXPECT_EQ(test::FileBytes(target), "kept") << intruder.What;
    fs::remove(file);
    log.Write("four");  // the file comes back, and with it the log
  }
}

// Standard error goes through the same cleaner as the event log: an operator's line cannot be
// reordered by a name either.
TEST(ErrorLines, ShowABidirectionalControlAndAStrayByteAsAQuestionMark) {
  test::TempDir dir;
  const fs::path captured = dir.Path() / "stderr";
  const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  std::fflush(stderr);
  const int saved = ::dup(2);
  ::dup2(file, 2);
  WriteErrorLine(Severity::Notice,
                 "deleted for good: /d/Totocalcio/x\xE2\x80\xAE"
                 "5.lct\x85.tcl.5");
  ::dup2(saved, 2);
  ::close(saved);
  ::close(file);
  EXPECT_EQ(test::FileBytes(captured), "deleted for good: /d/Totocalcio/x?5.lct?.tcl.5\n");
}

}  // namespace
}  // namespace varo
