// The settings file where only POSIX systems can put it: permission bits, a writer that is another
// user, a folder that user may not write, and temporary files named after writer processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "SystemFiles.h"
#include "TempDir.h"
#include "posix/OtherUser.h"
#include "settings/IniProfile.h"

namespace varo {
namespace {

using test::FileBytes;
using test::TempDir;

TEST(IniProfileWrite, ANewFileGetsLinuxLineEnds) {
  TempDir dir;
  const std::string fresh = (dir.Path() / "fresh.ini").string();
  WritePrivateProfileString("Comunicazione", "OutPort", "-1", fresh);
  EXPECT_EQ(FileBytes(fresh), "[Comunicazione]\nOutPort=-1\n");
  WritePrivateProfileString("Comunicazione", "InPort", "7771", fresh);
  EXPECT_EQ(FileBytes(fresh), "[Comunicazione]\nOutPort=-1\nInPort=7771\n");
}

TEST(IniProfileWrite, KeepsPermissionBitsAndWritesThroughALink) {
  TempDir dir;
  const auto target = dir.WriteFile("real/s.ini", "[Comunicazione]\nInPort=7770\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const auto link = dir.Path() / "s.ini";
  std::filesystem::create_symlink("real/s.ini", link);

  WritePrivateProfileString("Comunicazione", "InPort", "7771", link);

  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(FileBytes(target), "[Comunicazione]\nInPort=7771\n");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Writes one key in a child process running as an unprivileged user, since root may write any
// file: 0 when the write succeeded, 1 when it failed, anything else when the child went wrong.
int WriteAsNobody(const std::filesystem::path& file, std::string_view value) {
  return test::AsNobody([&] {
    try {
      WritePrivateProfileString("Comunicazione", "InPort", value, file);
    } catch (const std::exception&) {
      return 1;
    }
    return 0;
  });
}

TEST(IniProfileWrite, AFailedWriteLeavesTheOldFileWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to write as another user";
  TempDir dir;
  const std::string original = "[Comunicazione]\nInPort=7770\n";
  const auto file = dir.WriteFile("locked/s.ini", original);
  // The user may write the file but create nothing beside it, so no new copy can replace it.
  ASSERT_EQ(::chown(file.c_str(), test::Nobody, test::Nobody), 0);
  ASSERT_TRUE(test::OpenToNobody(file.parent_path(), dir.Path()));

  EXPECT_EQ(WriteAsNobody(file, "7771"), 1);
  EXPECT_EQ(FileBytes(file), original);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniProfileWrite, AFileTheWriterMayNotWriteIsReportedAndKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to write as another user";
  TempDir dir;
  // The user owns the folder and its file, but the file is marked read-only.
  ASSERT_EQ(::chown(dir.Path().c_str(), test::Nobody, test::Nobody), 0);
  const std::string original = "[Comunicazione]\nInPort=7770\n";
  const auto file = dir.WriteFile("s.ini", original);
  ASSERT_EQ(::chown(file.c_str(), test::Nobody, test::Nobody), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const auto link = dir.Path() / "link.ini";
  std::filesystem::create_symlink("s.ini", link);

  EXPECT_EQ(WriteAsNobody(file, "7771"), 1);
  EXPECT_EQ(WriteAsNobody(link, "7772"), 1);  // the link leads to the same read-only file
  EXPECT_EQ(FileBytes(file), original);
  EXPECT_TRUE(std::filesystem::is_symlink(link));

  // A file that does not exist yet is created, and a writable one is written.
  const auto fresh = dir.Path() / "fresh.ini";
  EXPECT_EQ(WriteAsNobody(fresh, "7773"), 0);
  EXPECT_EQ(FileBytes(fresh), "[Comunicazione]\nInPort=7773\n");
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  EXPECT_EQ(WriteAsNobody(link, "7774"), 0);
  EXPECT_EQ(FileBytes(file), "[Comunicazione]\nInPort=7774\n");
  // No temporary file of a refused write is left beside them.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 3);
}

TEST(IniProfileWrite, TemporaryFilesOfKilledWritersAreRemovedByTheNextWrite) {
  TempDir dir;
  const auto file = dir.WriteFile("s.ini", "[Comunicazione]\nInPort=7770\n");
  // A process that has ended stands for a writer killed between creating and renaming.
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const auto abandoned = dir.WriteFile(".s.ini." + std::to_string(ended) + ".0.tmp", "[Com");
  const auto live = dir.WriteFile(".s.ini." + std::to_string(::getppid()) + ".3.tmp", "x");
  const auto unrelated = dir.WriteFile(".other.ini." + std::to_string(ended) + ".0.tmp", "y");

  WritePrivateProfileString("Comunicazione", "InPort", "7771", file);

  EXPECT_EQ(FileBytes(file), "[Comunicazione]\nInPort=7771\n");
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_TRUE(std::filesystem::exists(unrelated));
}

}  // namespace
}  // namespace varo
