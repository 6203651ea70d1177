// Kept listings and summaries where only Linux can make the case: notifications lost to a full
// queue, and a FUSE volume, where nothing is kept.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "archive/SystemArchive.h"
#include "archive/SystemSummary.h"
#include "posix/FuseMount.h"

namespace varo {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << file;
  ::close(fd);
}

TEST(SystemArchivePosix, NotificationsLostToAFullQueueThrowEveryListingAway) {
  long queue = 0;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queue;
  if (queue <= 0 || queue > 200'000) GTEST_SKIP() << "inotify queue of " << queue << " events";
  test::TempDir documents(test::KeepingVolume());
  const ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());
  fs::create_directories(folders.TotocalcioFolder);
  fs::create_directories(folders.TotogolFolder);
  Touch(fs::path(folders.TotocalcioFolder) / "a.tcl.1");
  SystemArchive archive(folders);
  ASSERT_EQ(archive.List(1).Names.size(), 1u);
  ASSERT_EQ(archive.List(2).Names.size(), 0u);

  // The Totogol folder fills the queue, so the Totocalcio folder's own event is lost.
  for (long i = 0; i <= queue / 2; ++i) {
    const fs::path file = fs::path(folders.TotogolFolder) / ("f" + std::to_string(i));
    Touch(file);
    fs::remove(file);
  }
  Touch(fs::path(folders.TotocalcioFolder) / "b.tcl.2");
  EXPECT_EQ(archive.List(1).Names, (std::vector<std::string>{"a.tcl.1", "b.tcl.2"}));
  EXPECT_EQ(archive.Code2Filename(2, 1), folders.TotocalcioFolder + "/b.tcl.2");
}

TEST(SystemArchivePosix, NothingIsKeptOnAFuseVolume) {
  test::TempDir disk;
  const fs::path source = disk.Path() / "source";
  const fs::path mounted = disk.Path() / "mounted";
  const ArchiveFolders real = MakeArchiveFolders(source.string());
  fs::create_directories(real.TotocalcioFolder);
  fs::create_directories(mounted);
  const test::FuseMount fuse(source, mounted);
  if (!fuse.Refused().empty()) GTEST_SKIP() << fuse.Refused();

  Touch(fs::path(real.TotocalcioFolder) / "a.tcl.1");
  int summaryReads = 0;
  SystemArchive archive(MakeArchiveFolders(mounted.string()),
                        {.FileClock =
                             [] {
                               return FileTime{FileClockNow().Seconds + 3600, 0};
                             },
                         .Read =
                             [&](ReadOnlyFile& file, std::uint8_t game) {
                               ++summaryReads;
                               return ReadColumnTotals(file, game);
                             }});
  EXPECT_EQ(archive.List(1).Names.size(), 1u);
  Touch(fs::path(real.TotocalcioFolder) / "b.tcl.2");
  EXPECT_EQ(archive.List(1).Names.size(), 2u);
  const std::string path = archive.Code2Filename(2, 1);
  EXPECT_EQ(path, (mounted / "Quillmarch/Quillmarch Varo Server/Totocalcio/b.tcl.2").string());
  EXPECT_EQ(archive.FolderReadings(), 3u);
  // A summary counted twice, however settled the file.
  archive.Summaries().TotalsOf(path, 1);
  archive.Summaries().TotalsOf(path, 1);
  EXPECT_EQ(summaryReads, 2);
}

}  // namespace
}  // namespace varo
