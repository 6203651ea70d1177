// Deleted systems in the trash a file manager restores them from, wherever Documents lives: on
// volumes of the test's own (tmpfs, bind mounts, a FUSE volume) in a mount namespace of its own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "SystemFiles.h"
#include "TempDir.h"
#include "platform/Trash.h"
#include "posix/FuseMount.h"
#include "posix/OtherUser.h"
#include "posix/PrivateMounts.h"

namespace varo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Writes a whole file, its folders made first.
void Put(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  test::WriteBytes(path, bytes);
}

// Every record in a trash, by the Path= it gives, with the entry it names.
std::multimap<std::string, std::string> RecordsIn(const fs::path& trash) {
  std::multimap<std::string, std::string> records;
  std::error_code none;
  for (const auto& record : fs::directory_iterator(trash / "info", none)) {
    const std::string text = test::FileBytes(record.path());
    const std::size_t path = text.find("\nPath=");
    const std::string name = record.path().filename().string();
    if (path == std::string::npos || !name.ends_with(".trashinfo")) continue;
    records.emplace(text.substr(path + 6, text.find('\n', path + 6) - path - 6),
                    name.substr(0, name.size() - 10));
  }
  return records;
}

class Trash : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "volumes of the test's own need root";
    ASSERT_EQ(mounts_.Refused(), "");
    // Names the records can hold as they are, so the expected Path= lines are written plainly.
    ASSERT_EQ(dir_.Path().string().find_first_not_of(
                  "/ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~"),
              std::string::npos);
    ASSERT_TRUE(mounts_.Volume(World()));
    ::unsetenv("XDG_DATA_HOME");
    MoveHome("home");
  }

  // A home folder of its own on the test's volume, from now on.
  void MoveHome(const std::string& name) {
    home_ = World() / name;
    fs::create_directories(home_);
    ::setenv("HOME", home_.c_str(), 1);
  }
  fs::path World() const { return dir_.Path() / "world"; }
  fs::path HomeTrash() const { return home_ / ".local" / "share" / "Trash"; }
  fs::path Documents() const { return home_ / "Documents"; }

  test::TempDir dir_;
  fs::path home_;
  test::PrivateMounts mounts_;  // gone before the folder
};

TEST_F(Trash, ASystemGoesToTheTrashOfItsOwnMount) {
  const fs::path disk = dir_.Path() / "disk";
  ASSERT_TRUE(mounts_.Volume(disk));
  // Each setup has a home of its own, "home-<n>", and deletes "Ruota.tcl.<n>".
  const struct {
    const char* What;
    std::function<void()> Prepare;  // makes Documents
    fs::path Trash;
    std::string RecordPath;  // "" where it is deleted for good
  } setups[] = {
      {"Documents in the home folder", [&] { fs::create_directories(Documents()); },
       World() / "home-1" / ".local" / "share" / "Trash",
       (World() / "home-1" / "Documents" / "Totocalcio" / "Ruota.tcl.1").string()},
      {"Documents a link to another disk",
       [&] {
         fs::create_directories(disk / "users" / "alice" / "Docs");
         fs::create_directory_symlink(disk / "users" / "alice" / "Docs", Documents());
       },
       disk / ".Trash-0", "users/alice/Docs/Totocalcio/Ruota.tcl.2"},
      {"Documents a bind mount of another folder of the same volume",
       [&] {
         fs::create_directories(World() / "srv" / "docs");
         ASSERT_TRUE(mounts_.Bind(World() / "srv" / "docs", Documents()));
       },
       World() / "home-3" / "Documents" / ".Trash-0", "Totocalcio/Ruota.tcl.3"},
      {"the administrator's sticky .Trash",
       [&] {
         fs::create_directories(disk / ".Trash");
         ::chmod((disk / ".Trash").c_str(), 01777);
         fs::create_directory_symlink(disk, Documents());
       },
       disk / ".Trash" / "0", "Totocalcio/Ruota.tcl.4"},
      {"a .Trash without the sticky bit is passed over",
       [&] {
         fs::create_directories(disk / ".Trash");
         ::chmod((disk / ".Trash").c_str(), 0777);
         fs::create_directory_symlink(disk, Documents());
       },
       disk / ".Trash-0", "Totocalcio/Ruota.tcl.5"},
      {"a .Trash that is a link is passed over",
       [&] {
         fs::create_directories(disk / "sticky");
         ::chmod((disk / "sticky").c_str(), 01777);
         fs::create_directory_symlink(disk / "sticky", disk / ".Trash");
         fs::create_directory_symlink(disk, Documents());
       },
       disk / ".Trash-0", "Totocalcio/Ruota.tcl.6"},
      {"a .Trash-0 that is a link is not used",
       [&] {
         fs::create_directories(disk / "elsewhere");
         ::chmod((disk / "elsewhere").c_str(), 0700);
         fs::create_directory_symlink(disk / "elsewhere", disk / ".Trash-0");
         fs::create_directory_symlink(disk, Documents());
       },
       fs::path(), ""},
      {"no trash can take it",
       [&] {
         Put(disk / ".Trash-0", "not a folder");
         fs::create_directory_symlink(disk, Documents());
       },
       fs::path(), ""},
  };
  int code = 0;
  for (const auto& setup : setups) {
    SCOPED_TRACE(setup.What);
    for (const auto& old : fs::directory_iterator(disk)) fs::remove_all(old.path());
    const std::string name = "Ruota.tcl." + std::to_string(++code);
    MoveHome("home-" + std::to_string(code));
    setup.Prepare();
    const fs::path system = Documents() / "Totocalcio" / name;
    Put(system, "system " + name);

    const Disposal disposal = MoveToTrash(system.string());
    EXPECT_FALSE(fs::exists(fs::symlink_status(system)));
    if (setup.RecordPath.empty()) {
      EXPECT_EQ(disposal, Disposal::DeletedForGood);
      EXPECT_FALSE(fs::exists(HomeTrash() / "files" / name));
      EXPECT_FALSE(fs::exists(disk / "elsewhere" / "files" / name));
      continue;
    }
    EXPECT_EQ(disposal, Disposal::Trashed);
    EXPECT_EQ(test::FileBytes(setup.Trash / "files" / name), "system " + name);
    const auto records = RecordsIn(setup.Trash);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.begin()->first, setup.RecordPath);
    EXPECT_EQ(records.begin()->second, name);
    if (setup.Trash != HomeTrash()) {
      EXPECT_TRUE(RecordsIn(HomeTrash()).empty());
    }
  }
}

// What a trash already holds is never replaced and a taken name means another, on a volume that
// renames without replacing and on one that refuses that (FUSE), where a second link moves it.
TEST_F(Trash, NothingInATrashIsReplacedAndEveryNameFits) {
  const fs::path fuseSource = World() / "fuse-source";
  fs::create_directories(fuseSource);
  fs::create_directories(dir_.Path() / "fuse");
  test::FuseMount fuse(fuseSource, dir_.Path() / "fuse");
  ASSERT_EQ(fuse.Refused(), "");
  std::string utf8 = "x", utf8Encoded = "x";
  for (int i = 0; i < 123; ++i) {
    utf8 += "\xC3\xA8";  // "è"
    utf8Encoded += "%C3%A8";
  }
  const std::string long249(249, 'a');
  // Each name as it stands in Path=.
  const std::pair<std::string, std::string> names[] = {
      {"Ruota.tcl.1", "Ruota.tcl.1"},
      {"Sole.tcl.2", "Sole.tcl.2"},
      {"Luna.tcl.3", "Luna.tcl.3"},
      {long249 + ".tcl.4", long249 + ".tcl.4"},      // 255 bytes
      {utf8 + ".tcl.55", utf8Encoded + ".tcl.55"}};  // 254 bytes
  for (const auto& [what, documents, trash, recordFolder] :
       {std::tuple{"home trash", Documents(), HomeTrash(), Documents().string() + "/Totocalcio/"},
        std::tuple{"FUSE volume", dir_.Path() / "fuse" / "Documents",
                   dir_.Path() / "fuse" / ".Trash-0", std::string("Documents/Totocalcio/")}}) {
    SCOPED_TRACE(what);
    // A file and a folder left in files/ without their records, a record without its file.
    Put(trash / "files" / "Ruota.tcl.1", "left over");
    Put(trash / "files" / "Sole.tcl.2" / "inside", "left over");
    Put(trash / "info" / "Luna.tcl.3.trashinfo", "old record");
    for (const auto& [name, encoded] : names) {
      Put(documents / "Totocalcio" / name, "system " + name);
      EXPECT_EQ(MoveToTrash((documents / "Totocalcio" / name).string()), Disposal::Trashed);
    }
    EXPECT_EQ(test::FileBytes(trash / "files" / "Ruota.tcl.1"), "left over");
    EXPECT_EQ(test::FileBytes(trash / "files" / "Sole.tcl.2" / "inside"), "left over");
    EXPECT_EQ(test::FileBytes(trash / "info" / "Luna.tcl.3.trashinfo"), "old record");
    const auto records = RecordsIn(trash);
    for (const auto& [name, encoded] : names) {
      // The whole name is kept where "Restore" reads it; the entry fits beside its record.
      ASSERT_EQ(records.count(recordFolder + encoded), 1u) << encoded;
      const std::string& entry = records.find(recordFolder + encoded)->second;
      EXPECT_LE(entry.size(), 245u);
      EXPECT_EQ(entry.substr(0, 3), name.substr(0, 3));
      EXPECT_EQ(entry.substr(entry.rfind(".tcl.")), name.substr(name.rfind(".tcl.")));
      EXPECT_EQ(test::FileBytes(trash / "files" / entry), "system " + name) << entry;
    }
  }
}

TEST_F(Trash, EveryCopyOfOneNameIsKept) {
  const fs::path system = Documents() / "Totocalcio" / "Copia.tcl.9";
  for (int copy = 1; copy <= 1001; ++copy) {
    Put(system, "copy " + std::to_string(copy));
    ASSERT_EQ(MoveToTrash(system.string()), Disposal::Trashed) << copy;
  }
  std::set<std::string> kept;
  const auto records = RecordsIn(HomeTrash());
  for (const auto& [path, entry] : records) {
    EXPECT_EQ(path, system.string());
    kept.insert(test::FileBytes(HomeTrash() / "files" / entry));
  }
  EXPECT_EQ(records.size(), 1001u);
  EXPECT_EQ(kept.size(), 1001u);
  EXPECT_EQ(kept.count("copy 1001"), 1u);
}

// Another user who may write the top of a volume (no sticky bit) swaps the trash there for a link
// to a folder of theirs, or for a folder of theirs, over and over while systems are deleted: none
// reaches them, and every system said to be in the trash is in a trash of the deleter's own.
TEST_F(Trash, AnotherUsersSwapOfTheTrashGetsNothing) {
  const fs::path open = dir_.Path() / "open";
  ASSERT_TRUE(mounts_.Volume(open, 0777));
  const fs::path theirs = open / "theirs";
  const fs::path stop = open / "stop";
  fs::create_directories(open / "Documents" / "Totocalcio");
  ASSERT_TRUE(test::OpenToNobody(dir_.Path(), dir_.Path()));
  int swapped = -1;
  std::thread swapper([&] {
    swapped = test::AsNobody(
        [&] {
          fs::create_directories(theirs / "files");
          fs::create_directories(theirs / "info");
          for (int round = 0; !fs::exists(stop) && round < 1'000'000; ++round) {
            std::error_code ignored;
            fs::rename(open / ".Trash-0", open / ("taken-" + std::to_string(round)), ignored);
            if (round % 4 != 3) {
              fs::create_directory_symlink(theirs, open / ".Trash-0", ignored);
            } else {
              fs::create_directories(open / ".Trash-0" / "files", ignored);
              fs::create_directories(open / ".Trash-0" / "info", ignored);
            }
          }
          return 0;
        },
        60);
  });
  std::map<Disposal, int> told;
  for (int i = 0; i < 1000; ++i) {
    const fs::path system =
        open / "Documents" / "Totocalcio" / ("S" + std::to_string(i) + ".tcl.1");
    Put(system, "mine");
    ++told[MoveToTrash(system.string())];
  }
  Put(stop, "");
  swapper.join();
  ASSERT_EQ(swapped, 0) << "the other user could not swap";

  int found = 0;
  for (auto entry = fs::recursive_directory_iterator(open); entry != fs::end(entry); ++entry) {
    if (!entry->is_regular_file() || test::FileBytes(entry->path()) != "mine") continue;
    ++found;
    struct stat files {
    }, trash{};
    ASSERT_EQ(::lstat(entry->path().parent_path().c_str(), &files), 0);
    ASSERT_EQ(::lstat(entry->path().parent_path().parent_path().c_str(), &trash), 0);
    EXPECT_EQ(files.st_uid, 0u) << entry->path();
    EXPECT_EQ(trash.st_uid, 0u) << entry->path();
    EXPECT_EQ(trash.st_mode & 0077, 0u) << entry->path();
  }
  EXPECT_EQ(found, told[Disposal::Trashed]);
  EXPECT_GT(told[Disposal::Trashed], 0);
}

// The game folder swapped for a link to another folder holding a file of the same name, while
// that name is deleted: whichever file is moved, its record names the folder it came from.
TEST_F(Trash, TheFileExaminedIsTheFileMoved) {
  const fs::path game = Documents() / "Totocalcio";
  const fs::path real = Documents() / "Totocalcio-real";
  const fs::path other = World() / "other";
  fs::create_directories(real);
  fs::create_directories(other);
  fs::create_directory_symlink(real, game);
  std::mutex refill;
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    for (int round = 0; !done && round < 10'000'000; ++round) {
      std::lock_guard hold(refill);
      // Swapped in one step: the name always leads to one folder or the other.
      std::error_code ignored;
      fs::create_directory_symlink(round % 2 == 0 ? other : real, Documents() / "next", ignored);
      fs::rename(Documents() / "next", game, ignored);
    }
  });
  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard hold(refill);
      Put(real / "Ruota.tcl.5", "real");
      Put(other / "Ruota.tcl.5", "other");
    }
    ASSERT_EQ(MoveToTrash((game / "Ruota.tcl.5").string()), Disposal::Trashed);
  }
  done = true;
  swapper.join();
  for (const auto& [path, entry] : RecordsIn(HomeTrash())) {
    const std::string moved = test::FileBytes(HomeTrash() / "files" / entry);
    EXPECT_EQ(path, ((moved == "real" ? real : other) / "Ruota.tcl.5").string()) << moved;
  }
}

}  // namespace
}  // namespace varo
