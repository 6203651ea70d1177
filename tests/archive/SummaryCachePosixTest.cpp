// Kept summaries on real volumes: a tmpfs keeps them, a FUSE volume never does.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/SummaryCache.h"
#include "posix/FuseMount.h"

namespace varo {
namespace {

TEST(SummaryCacheVolumes, KeepsOnATmpfsAndNothingOnAFuseVolume) {
  test::TempDir shm(test::KeepingVolume());
  test::TempDir disk;
  const std::filesystem::path source = disk.Path() / "source";
  const std::filesystem::path mounted = disk.Path() / "mounted";
  std::filesystem::create_directories(source);
  std::filesystem::create_directories(mounted);
  const test::FuseMount fuse(source, mounted);
  if (!fuse.Refused().empty()) GTEST_SKIP() << fuse.Refused();

  const std::string column = test::Column(0x01);
  std::filesystem::copy_file(shm.WriteFile("Sistema.tcl.4", column), source / "Sistema.tcl.4");
  int reads = 0;
  SummaryCache kept(MaxKeptSummaries, {.FileClock =
                                           [] {
                                             return FileTime{FileClockNow().Seconds + 3600, 0};
                                           },
                                       .Read =
                                           [&](ReadOnlyFile& file, std::uint8_t game) {
                                             ++reads;
                                             return ReadColumnTotals(file, game);
                                           }});
  for (const auto& [folder, expectedReads] : {std::pair{shm.Path(), 1}, std::pair{mounted, 2}}) {
    reads = 0;
    const std::string path = (folder / "Sistema.tcl.4").string();
    EXPECT_EQ(kept.TotalsOf(path, 1).Totals.Columns, 1u) << path;
    EXPECT_EQ(kept.TotalsOf(path, 1).Totals.Columns, 1u) << path;
    EXPECT_EQ(reads, expectedReads) << path;
  }
}

}  // namespace
}  // namespace varo
