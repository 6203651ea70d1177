#include "archive/SummaryCache.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/SystemSummary.h"
#include "platform/FileAccess.h"

namespace varo {
namespace {

using test::Copy;

std::vector<std::uint8_t> BytesOf(const SystemSummary& summary) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&summary);
  return std::vector<std::uint8_t>(bytes, bytes + sizeof summary);
}

// The change time of a file as the platform tells it.
FileTime ChangeTimeOf(const std::filesystem::path& file) {
  return ReadOnlyFile(file.string()).Identity().Changed;
}

// A moment the given seconds and nanoseconds (below a second) after another.
FileTime Later(FileTime time, std::int64_t seconds, std::uint32_t nanoseconds = 0) {
  const std::uint32_t ns = time.Nanoseconds + nanoseconds;
  return {time.Seconds + seconds + ns / 1'000'000'000, ns % 1'000'000'000};
}

// Counts the whole-file reads of the totals, the only way a summary reads a file's columns.
struct CountingReader {
  int Reads = 0;
  TotalsReader Reader() {
    return [this](ReadOnlyFile& file, std::uint8_t gameKind) {
      ++Reads;
      return ReadColumnTotals(file, gameKind);
    };
  }
};

// Three Totocalcio columns of 4 main combinations each, one flagged with 2 side ones: total cost
// 700. As Totogol (no column flagged in byte 0) the same columns cost 600.
const std::string RuotaColumns =
    test::ColumnOf({0x03, 0x03}) + test::ColumnOf({0x05, 0x09}) +
    test::ColumnOf({0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x81, 0x01, 0x06});

TEST(SummaryCache, KeepsTheTotalsOfAFileSettledTwoSecondsBeforeTheCount) {
  test::TempDir temp(test::KeepingVolume());
  const auto ruota = temp.WriteFile("Ruota.tcl.12", RuotaColumns);
  test::SetModifiedDate(ruota, 2006, 3, 15);
  CountingReader counter;
  FileTime now{};
  SummaryCache kept(MaxKeptSummaries, {.FileClock = [&] { return now; }, .Read = counter.Reader()});

  SystemSummary uncached{}, first{}, second{};
  GetInfoTotocalcio(ruota.string(), uncached);
  now = Later(ChangeTimeOf(ruota), 2);
  GetInfoTotocalcio(ruota.string(), first, kept);
  GetInfoTotocalcio(ruota.string(), second, kept);
  EXPECT_EQ(counter.Reads, 1);
  EXPECT_EQ(BytesOf(first), BytesOf(uncached));
  EXPECT_EQ(BytesOf(second), BytesOf(uncached));
  EXPECT_EQ(Copy(second.TotalCost), 700);
  EXPECT_EQ(Copy(second.Year), 2006);
  EXPECT_EQ(Copy(second.Tickets), 1);

  // The same file counted for the other game has totals of its own.
  GetInfoTotogol(ruota.string(), second, kept);
  GetInfoTotogol(ruota.string(), second, kept);
  EXPECT_EQ(counter.Reads, 2);
  EXPECT_EQ(Copy(second.TotalCost), 600);
  EXPECT_EQ(kept.Size(), 2u);

  // A file changed less than two seconds before the count is read every time.
  const auto fresco = temp.WriteFile("Fresco.tcl.13", RuotaColumns);
  now = Later(ChangeTimeOf(fresco), 1, 999'999'999);
  GetInfoTotocalcio(fresco.string(), second, kept);
  GetInfoTotocalcio(fresco.string(), second, kept);
  EXPECT_EQ(counter.Reads, 4);
  EXPECT_EQ(Copy(second.TotalCost), 700);
  now = Later(ChangeTimeOf(fresco), 2);
  GetInfoTotocalcio(fresco.string(), second, kept);
  GetInfoTotocalcio(fresco.string(), second, kept);
  EXPECT_EQ(counter.Reads, 5);
}

TEST(SummaryCache, AFileRewrittenChangedInPermissionsOrReplacedIsReadAgain) {
  using namespace std::chrono_literals;
  test::TempDir temp(test::KeepingVolume());
  const std::time_t modified = test::LocalNoon(2010, 6, 1);
  const auto path = temp.WriteFile("Sistema.tcl.4", test::Column(0x01));
  test::SetModified(path, modified);
  CountingReader counter;
  // Every state of the file counts as settled, so only a change of its identity reads it again.
  SummaryCache kept(MaxKeptSummaries, {.FileClock = [&] { return Later(ChangeTimeOf(path), 3); },
                                       .Read = counter.Reader()});
  SystemSummary summary{};
  auto totalCost = [&] {
    GetInfoTotocalcio(path.string(), summary, kept);
    return Copy(summary.TotalCost);
  };
  EXPECT_EQ(totalCost(), 50);
  EXPECT_EQ(totalCost(), 50);
  EXPECT_EQ(counter.Reads, 1);

  // Each change waits 20 ms first, more than one tick of the coarsest file time stamps.
  auto changeLater = [&](auto change) {
    const auto sizeBefore = std::filesystem::file_size(path);
    const auto modifiedBefore = std::filesystem::last_write_time(path);
    std::this_thread::sleep_for(20ms);
    change();
    EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
    EXPECT_EQ(std::filesystem::last_write_time(path), modifiedBefore);
  };

  // The same size and modification time, other contents: two doubles, 4 combinations.
  changeLater([&] {
    temp.WriteFile("Sistema.tcl.4", test::ColumnOf({0x03, 0x03}));
    test::SetModified(path, modified);
  });
  EXPECT_EQ(totalCost(), 200);
  EXPECT_EQ(counter.Reads, 2);

  // Write permission taken away and given back: only the change time tells.
  changeLater([&] {
    using std::filesystem::perm_options;
    using std::filesystem::perms;
    const perms write = perms::owner_write | perms::group_write | perms::others_write;
    std::filesystem::permissions(path, write, perm_options::remove);
    std::filesystem::permissions(path, perms::owner_write, perm_options::add);
  });
  EXPECT_EQ(totalCost(), 200);
  EXPECT_EQ(counter.Reads, 3);

  // Another file of the same size and modification time renamed over it: two triples, 9.
  changeLater([&] {
    const auto other = temp.WriteFile("nuovo", test::ColumnOf({0x07, 0x07}));
    test::SetModified(other, modified);
    std::filesystem::rename(other, path);
  });
  EXPECT_EQ(totalCost(), 450);
  EXPECT_EQ(counter.Reads, 4);
  EXPECT_EQ(totalCost(), 450);
  EXPECT_EQ(counter.Reads, 4);
}

TEST(SummaryCache, KeepsAtMostItsCapacityAndTheLeastRecentlyUsedLeaveFirst) {
  test::TempDir temp(test::KeepingVolume());
  const auto a = temp.WriteFile("A.tcl.1", test::Column(0x01)).string();
  const auto b = temp.WriteFile("B.tcl.2", test::Column(0x01)).string();
  const auto c = temp.WriteFile("C.tcl.3", test::Column(0x01)).string();
  CountingReader counter;
  SummaryCache kept(
      2, {.FileClock = [] { return Later(FileClockNow(), 3600); }, .Read = counter.Reader()});
  SystemSummary summary{};
  auto readsAfter = [&](const std::string& path) {
    GetInfoTotocalcio(path, summary, kept);
    return counter.Reads;
  };
  EXPECT_EQ(readsAfter(a), 1);
  EXPECT_EQ(readsAfter(b), 2);
  EXPECT_EQ(readsAfter(a), 2);  // a is now the most recently used
  EXPECT_EQ(readsAfter(c), 3);  // b leaves
  EXPECT_EQ(kept.Size(), 2u);
  EXPECT_EQ(readsAfter(a), 3);
  EXPECT_EQ(readsAfter(c), 3);
  EXPECT_EQ(readsAfter(b), 4);  // read again; a leaves
  EXPECT_EQ(readsAfter(c), 4);
  EXPECT_EQ(readsAfter(a), 5);
  EXPECT_EQ(kept.Size(), 2u);
}

// A list page opens its first entry, which tells it the volume, and examines every other by its
// name alone: only a file not kept, or changed, is opened after it.
TEST(SummaryCache, AListPageOpensItsFirstEntryAndOnlyTheFilesNotKeptAfterIt) {
  test::TempDir temp(test::KeepingVolume());
  const std::string names[] = {"A.tcl.1", "B.tcl.2", "C.tcl.3"};
  for (const std::string& name : names) temp.WriteFile(name, RuotaColumns);
  CountingReader counter;
  int opened = 0;
  SummaryCache kept(MaxKeptSummaries, {.FileClock = [] { return Later(FileClockNow(), 3600); },
                                       .Read = counter.Reader(),
                                       .Volume = [&](const ReadOnlyFile& file) {
                                         ++opened;
                                         return file.Volume();
                                       }});
  const auto rewrite = [&](const std::string& name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later time stamp
    temp.WriteFile(name, RuotaColumns);
  };
  struct Page {
    const char* What;
    std::function<void()> Before;
    int Reads, Opened;  // in all, after the page
  };
  const Page pages[] = {
      {"a first page reads and opens every file", [] {}, 3, 3},
      {"the next one opens only its first", [] {}, 3, 4},
      {"a rewritten file is opened and read again", [&] { rewrite("B.tcl.2"); }, 4, 6},
      {"so is a rewritten first one", [&] { rewrite("A.tcl.1"); }, 5, 7},
  };
  for (const Page& page : pages) {
    page.Before();
    ListPage list(test::Utf8(temp.Path()));
    SystemSummary summary{};
    for (const std::string& name : names) {
      GetListedInfo(list, name, GameTotocalcio, summary, kept);
      EXPECT_EQ(Copy(summary.TotalCost), 700) << page.What << ": " << name;
    }
    EXPECT_EQ(counter.Reads, page.Reads) << page.What;
    EXPECT_EQ(opened, page.Opened) << page.What;
  }
}

TEST(SummaryCache, KeptTotalsLastFiveMinutesAndNothingIsKeptOnVolumesWhoseTimesMayNotShowAChange) {
  using namespace std::chrono_literals;
  test::TempDir temp(test::KeepingVolume());
  const std::string path = temp.WriteFile("Sistema.tcl.4", test::Column(0x01)).string();
  CountingReader counter;
  std::chrono::steady_clock::time_point monotonic{};
  VolumeKind volume = VolumeKind::Tmpfs;
  SummaryCache kept(MaxKeptSummaries, {.FileClock = [] { return Later(FileClockNow(), 3600); },
                                       .Monotonic = [&] { return monotonic; },
                                       .Read = counter.Reader(),
                                       .Volume = [&](const ReadOnlyFile&) { return volume; }});
  SystemSummary summary{};
  auto readsAfter = [&] {
    GetInfoTotocalcio(path, summary, kept);
    return counter.Reads;
  };
  // A write through a shared mapping may leave every time stamp as it was.
  EXPECT_EQ(readsAfter(), 1);
  monotonic += 5min - 1ns;
  EXPECT_EQ(readsAfter(), 1);
  monotonic += 1ns;
  EXPECT_EQ(readsAfter(), 2);
  EXPECT_EQ(readsAfter(), 2);

  for (const VolumeKind refused : {VolumeKind::Network, VolumeKind::Fuse, VolumeKind::Fat,
                                   VolumeKind::NoChangeTime, VolumeKind::Other}) {
    volume = refused;
    const int before = counter.Reads;
    EXPECT_EQ(readsAfter(), before + 1) << static_cast<int>(refused);
    EXPECT_EQ(readsAfter(), before + 2) << static_cast<int>(refused);
    EXPECT_EQ(kept.Size(), 0u) << static_cast<int>(refused);
  }
  for (const VolumeKind local :
       {VolumeKind::Ext, VolumeKind::Xfs, VolumeKind::Btrfs, VolumeKind::F2fs, VolumeKind::Zfs,
        VolumeKind::Overlay, VolumeKind::Ntfs, VolumeKind::Refs}) {
    volume = local;
    const int before = counter.Reads;
    EXPECT_EQ(readsAfter(), before + 1) << static_cast<int>(local);
    EXPECT_EQ(readsAfter(), before + 1) << static_cast<int>(local);
    // The same file on a volume that no longer vouches for its times is read afresh.
    volume = VolumeKind::Network;
    EXPECT_EQ(readsAfter(), before + 2) << static_cast<int>(local);
  }
}

}  // namespace
}  // namespace varo
