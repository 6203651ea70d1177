// The small files the program reads (user-dirs.dirs, the settings file, the crash notice): nothing
// put in their place holds or swells it, and a rewrite that leaves every time as it was is still
// followed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "SystemFiles.h"
#include "TempDir.h"
#include "posix/CoarseTimesVolume.h"
#include "platform/DocumentsLocator.h"
#include "records/CrashReportFiles.h"
#include "settings/IniProfile.h"

namespace varo {
namespace {

namespace fs = std::filesystem;

// HOME and XDG_CONFIG_HOME of a temporary home for one test, as they were after it.
class TemporaryHome {
 public:
  TemporaryHome() : home_(Saved("HOME")), config_(Saved("XDG_CONFIG_HOME")) {
    ::setenv("HOME", test::Utf8(dir_.Path()).c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", test::Utf8(dir_.Path() / "config").c_str(), 1);
    fs::create_directories(dir_.Path() / "config");
  }
  ~TemporaryHome() {
    Restore("HOME", home_);
    Restore("XDG_CONFIG_HOME", config_);
  }
  const fs::path& Path() const { return dir_.Path(); }

 private:
  static std::string Saved(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : std::string(1, '\0');
  }
  static void Restore(const char* name, const std::string& value) {
    if (value == std::string(1, '\0')) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value.c_str(), 1);
    }
  }
  test::TempDir dir_;
  std::string home_, config_;
};

TEST(SmallFiles, AFifoADeviceOrAHugeFileInTheirPlaceIsUnreadableAtOnce) {
  TemporaryHome home;
  const fs::path userDirs = home.Path() / "config" / "user-dirs.dirs";
  const fs::path settings = home.Path() / "QuillmarchvaroServer.ini";
  const fs::path notice = home.Path() / "ultimo-crash";
  const std::string documents = test::Utf8(home.Path() / "Documents");
  const struct {
    const char* What;
    fs::path File;
    std::function<std::string()> Read;
    std::string AsIfMissing;
  } readers[] = {
      {"user-dirs.dirs", userDirs, [] { return DocumentsLocator().Current(); }, documents},
      {"settings", settings,
       [&] {
         return GetPrivateProfileString("Comunicazione", "InPort", "7770", test::Utf8(settings));
       },
       "7770"},
      {"crash notice", notice, [&] { return TakeCrashReportNotice(test::Utf8(home.Path())); }, ""},
  };
  const struct {
    const char* What;
    std::function<void(const fs::path&)> Make;
  } intruders[] = {
      {"fifo", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
      {"link to /dev/zero", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); }},
      {"2 MiB file", [](const fs::path& f) {
         test::WriteBytes(f, "XDG_DOCUMENTS_DIR=\"$HOME/Altro\"\n[Comunicazione]\nInPort=1\n" +
                                 std::string(2 * 1024 * 1024, '#'));
       }},
  };
  for (const auto& reader : readers) {
    for (const auto& intruder : intruders) {
      fs::remove(reader.File);
      intruder.Make(reader.File);
      auto read = std::async(std::launch::async, reader.Read);
      if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // A reader held by the FIFO is let go by a writer, so the test ends either way.
        const int writer = ::open(reader.File.c_str(), O_WRONLY | O_NONBLOCK);
        read.wait();
        ::close(writer);
        ADD_FAILURE() << intruder.What << " held the reading of " << reader.What;
        continue;
      }
      EXPECT_EQ(read.get(), reader.AsIfMissing) << intruder.What << " as " << reader.What;
    }
    fs::remove(reader.File);
  }
}

TEST(SmallFiles, UserDirsIsReadUpTo64KiBAndNoFurther) {
  TemporaryHome home;
  const std::string line = "XDG_DOCUMENTS_DIR=\"$HOME/Altro\"\n";
  for (const auto& [size, documents] : {std::pair{std::size_t{64 * 1024}, "Altro"},
                                        std::pair{std::size_t{64 * 1024 + 1}, "Documents"}}) {
    test::WriteBytes(home.Path() / "config" / "user-dirs.dirs",
                     line + std::string(size - line.size(), '#'));
    EXPECT_EQ(DocumentsLocator().Current(), test::Utf8(home.Path() / documents)) << size;
  }
}

TEST(SmallFiles, ACrashNoticeReachedThroughALinkIsNoNotice) {
  TemporaryHome home;
  const fs::path elsewhere = home.Path() / "elsewhere";
  test::WriteBytes(elsewhere, test::Utf8(home.Path() / "crash-2026-12-08T101502.txt") + "\n");
  fs::create_symlink(elsewhere, home.Path() / "ultimo-crash");
  EXPECT_EQ(TakeCrashReportNotice(test::Utf8(home.Path())), "");
  EXPECT_TRUE(fs::exists(elsewhere));
}

TEST(SmallFiles, UserDirsRewrittenInPlaceAtTheSameSizeIsFollowedAtTheNextLookUp) {
  TemporaryHome home;
  // The desktop's configuration on a volume whose times have whole seconds.
  const fs::path config = home.Path() / "config";
  const test::CoarseTimesVolume volume(config);
  ASSERT_EQ(volume.Refused(), "");
  const fs::path userDirs = config / "user-dirs.dirs";
  DocumentsLocator locator;
  // Rewritten at once after each look-up, as a desktop's first log-in does, within the second
  // that leaves the file's times as they were; bounded to 20 rounds.
  for (int round = 0; round < 20; ++round) {
    const std::string name = round % 2 == 0 ? "Documenti" : "Documents";
    const int fd = ::open(userDirs.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::string text = "XDG_DOCUMENTS_DIR=\"$HOME/" + name + "\"\n";
    ASSERT_EQ(::pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    ::close(fd);
    ASSERT_EQ(locator.Current(), test::Utf8(home.Path() / name)) << "round " << round;
  }
}

}  // namespace
}  // namespace varo
