// The Windows installer under Wine: a silent installation for the user alone, the installed program
// serving on a virtual desktop, and a silent uninstallation that leaves the user's systems and
// settings alone. Runs when VARO_WINDOWS_INSTALLER names the setup .exe of scripts/package-windows
// and Wine and the virtual desktop's programs are installed; skipped otherwise. The stand-in for an
// instance started as administrator is VARO_WINDOWS_MUTEX_HOLDER, the Windows build's
// deny-all-mutex-holder.exe.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/VirtualDesktop.h"
#include "posix/WinePrefix.h"

namespace varo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string Product = "Quillmarch Varo Server";
const std::string UninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmarch Varo Server";
const std::string RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

const std::string ShortcutInUserFolder =
    "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillmarch Varo Server.lnk";
const std::string GuideShortcutInUserFolder =
    "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillmarch Varo Server - Guida.lnk";

class WindowsInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* installer = std::getenv("VARO_WINDOWS_INSTALLER");
    if (installer == nullptr || *installer == '\0') {
      GTEST_SKIP() << "VARO_WINDOWS_INSTALLER names no Windows installer";
    }
    installer_ = installer;
    wine_ = ProgramOnPath("wine");
    wineserver_ = ProgramOnPath("wineserver");
    if (!wine_ || !wineserver_) GTEST_SKIP() << "Wine is not installed";
    ASSERT_TRUE(fs::is_regular_file(installer_)) << installer_;
  }

  std::string installer_;
  std::optional<fs::path> wine_;
  std::optional<fs::path> wineserver_;
};

TEST_F(WindowsInstaller, InstallsForTheUserServesAndUninstallsLeavingSystemsAndSettings) {
  if (const std::string missing = VirtualDesktop::Missing(); !missing.empty()) {
    GTEST_SKIP() << "missing: " << missing;
  }
  const auto& wine = wine_;
  const char* installer = installer_.c_str();

  // The desktop program needs a display; the prefix's programs all get this one.
  TempDir root;
  VirtualDesktop desktop(EnvironmentWithout({"DISPLAY", "WAYLAND_DISPLAY"}), root.Path());
  ASSERT_TRUE(desktop.Start()) << desktop.Output();
  WinePrefix prefix(root.Path() / "wine", *wine, *wineserver_);
  prefix.UseDisplay(desktop.Display());
  ASSERT_TRUE(prefix.Boot()) << "the Wine prefix could not be made";
  const auto run = [&](const std::vector<std::string>& command, const std::string& tag) {
    return RunToEnd(command, prefix.Env(), prefix.Logs(), tag, 120);
  };

  // A system in Documents (a fresh prefix links it to HOME: made a folder of its own) and the
  // settings with free ports, as the user has them before installing.
  const fs::path user = prefix.UserFolder();
  fs::remove(user / "Documents");
  fs::create_directories(user / "Documents");
  const fs::path system = TotocalcioFolderIn(user) / "Ruota.tcl.12";
  WriteBytes(system, Columns(3, 0x01));
  const std::uint16_t inPort = FreeUdpPort();
  const std::uint16_t outPort = FreeUdpPort();
  const fs::path settings = WritePorts(user / "AppData" / "Roaming", inPort, outPort);

  const fs::path folder = user / "AppData/Local/Programs/Quillmarch Varo Server";
  const fs::path program = folder / "quillmarch-varo-server.exe";
  const fs::path shortcut = user / ShortcutInUserFolder;
  const fs::path guideShortcut = user / GuideShortcutInUserFolder;
  const std::string windowsFolder =
      "C:\\users\\" + prefix.UserName() + "\\AppData\\Local\\Programs\\Quillmarch Varo Server";

  // Installed for this user alone, listed under the installed apps, started at log-on (the
  // default a silent installation takes, and an upgrade over it keeps).
  ASSERT_EQ(run({wine->string(), installer, "/S"}, "setup"), 0);
  ASSERT_EQ(run({wine->string(), installer, "/S"}, "setup-again"), 0);
  for (const fs::path& file : {program, folder / "uninstall.exe", folder / "LEGGIMI.txt",
                               folder / "LICENSE.txt", shortcut, guideShortcut}) {
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
  }
  // The guide in Italian, with Windows line ends; the developers' README is not shipped.
  EXPECT_NE(FileBytes(folder / "LEGGIMI.txt").find("## Il registro eventi\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "README.txt"));
  const std::string guideLink = FileBytes(guideShortcut);
  const std::string wideName("L\0E\0G\0G\0I\0M\0I\0.\0t\0x\0t\0", 22);
  EXPECT_TRUE(guideLink.find("LEGGIMI.txt") != std::string::npos ||
              guideLink.find(wideName) != std::string::npos)
      << "the guide's shortcut does not lead to LEGGIMI.txt";
  // Started from the Start menu the program shows its window: the shortcut's arguments, UTF-16.
  EXPECT_NE(FileBytes(shortcut).find(std::string("-\0-\0m\0o\0s\0t\0r\0a\0", 16)),
            std::string::npos);
  ASSERT_TRUE(prefix.Shutdown());  // Wine writes user.reg as it ends
  auto listed = prefix.UserKey(UninstallKey);
  ASSERT_TRUE(listed) << "no uninstall entry";
  EXPECT_TRUE(listed->contains("EstimatedSize") &&
              listed->at("EstimatedSize").starts_with("dword:") &&
              listed->at("EstimatedSize") != "dword:00000000");
  listed->erase("EstimatedSize");
  const std::map<std::string, std::string> expected = {
      {"DisplayName", Product},
      {"DisplayVersion", VARO_VERSION},
      {"Publisher", "Quillmarch"},
      {"DisplayIcon", windowsFolder + "\\quillmarch-varo-server.exe,0"},
      {"InstallLocation", windowsFolder},
      {"UninstallString", "\"" + windowsFolder + "\\uninstall.exe\""},
      {"QuietUninstallString", "\"" + windowsFolder + "\\uninstall.exe\" /S"},
      {"NoModify", "dword:00000001"},
      {"NoRepair", "dword:00000001"},
  };
  EXPECT_EQ(*listed, expected);
  const auto logOn = prefix.UserKey(RunKey);
  ASSERT_TRUE(logOn && logOn->contains(Product)) << "not started at log-on";
  EXPECT_EQ(logOn->at(Product), "\"" + windowsFolder + "\\quillmarch-varo-server.exe\"");
  ASSERT_TRUE(prefix.Resume());

  // The installed program serves; Wine's first start of it may take a while.
  auto served = std::make_unique<ChildProcess>(std::vector<std::string>{wine->string(), program},
                                               prefix.Env(), prefix.Logs(), "program");
  {
    UdpPeer client;
    UdpPeer replies(outPort);
    std::optional<Bytes> reply;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!reply && !served->WaitEnded(0) && std::chrono::steady_clock::now() < deadline) {
      client.SendTo(inPort, UnknownPairRequest());
      reply = replies.Receive(1000ms);
    }
    ASSERT_TRUE(reply) << "no reply within 30 s\n" << served->StandardError();
    EXPECT_EQ(*reply, UnknownPairReply());
  }

  // A new installation while it runs stops before changing anything, and says so.
  EXPECT_EQ(run({wine->string(), installer, "/S"}, "setup-while-running"), 2);
  served->Signal(SIGKILL);
  ASSERT_TRUE(served->WaitEnded(10));
  served.reset();

  // The uninstaller runs from a copy of itself and returns at once; its work follows.
  EXPECT_EQ(run({wine->string(), (folder / "uninstall.exe").string(), "/S"}, "uninstall"), 0);
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (fs::exists(folder) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_FALSE(fs::exists(folder)) << "the program's folder is still there after 30 s";
  EXPECT_FALSE(fs::exists(shortcut));
  EXPECT_FALSE(fs::exists(guideShortcut));
  EXPECT_EQ(FileBytes(system), Columns(3, 0x01));
  EXPECT_NE(FileBytes(settings).find("InPort=" + std::to_string(inPort)), std::string::npos);
  ASSERT_TRUE(prefix.Shutdown());
  EXPECT_FALSE(prefix.UserKey(UninstallKey)) << "the uninstall entry is still there";
  const auto logOnAfter = prefix.UserKey(RunKey);
  EXPECT_FALSE(logOnAfter && logOnAfter->contains(Product)) << "still started at log-on";
}

// An installation into another folder takes the earlier one's place: no copy of it is left whose
// uninstaller could undo the new one, and a start at log-on the user turned off stays off.
TEST_F(WindowsInstaller, UpgradesIntoAnotherFolderLeavingNoCopyAndKeepingTheLogOnChoice) {
  TempDir root;
  WinePrefix prefix(root.Path() / "wine", *wine_, *wineserver_);
  ASSERT_TRUE(prefix.Boot()) << "the Wine prefix could not be made";
  const auto run = [&](std::vector<std::string> command, const std::string& tag) {
    command.insert(command.begin(), wine_->string());
    return RunToEnd(command, prefix.Env(), prefix.Logs(), tag, 120);
  };
  const std::string earlierWindows =
      "C:\\users\\" + prefix.UserName() + "\\AppData\\Local\\Programs\\Quillmarch Varo Server";
  const std::string laterWindows = "C:\\Altro\\Varo";
  const fs::path earlier = prefix.UserFolder() / "AppData/Local/Programs/Quillmarch Varo Server";
  const fs::path later = prefix.Folder() / "drive_c/Altro/Varo";
  const fs::path shortcut = prefix.UserFolder() / ShortcutInUserFolder;

  ASSERT_EQ(run({installer_, "/S"}, "setup"), 0);
  ASSERT_EQ(run({"reg", "delete", "HKCU\\" + RunKey, "/v", Product, "/f"}, "log-on-off"), 0);
  ASSERT_EQ(run({installer_, "/S", "/D=" + laterWindows}, "upgrade"), 0);
  EXPECT_FALSE(fs::exists(earlier / "quillmarch-varo-server.exe"));
  EXPECT_FALSE(fs::exists(earlier / "uninstall.exe"));
  ASSERT_TRUE(prefix.Shutdown());
  const auto listed = prefix.UserKey(UninstallKey);
  ASSERT_TRUE(listed && listed->contains("InstallLocation")) << "no uninstall entry";
  EXPECT_EQ(listed->at("InstallLocation"), laterWindows);
  const auto logOn = prefix.UserKey(RunKey);
  EXPECT_FALSE(logOn && logOn->contains(Product)) << "started at log-on again";

  // An uninstaller left in the earlier folder (where none is, a copy of the new one, as a copy
  // left there would be) takes nothing of the new installation; the new one's own, its folder
  // spelled in another case, takes it all. Each runs from a copy of itself; its folder goes last.
  if (!fs::exists(earlier / "uninstall.exe")) {
    fs::create_directories(earlier);
    fs::copy_file(later / "uninstall.exe", earlier / "uninstall.exe");
  }
  const struct {
    std::string uninstaller;
    fs::path folder;
    bool takesTheInstallation;
  } uninstallers[] = {
      {earlierWindows + "\\uninstall.exe", earlier, false},
      {"c:\\ALTRO\\varo\\uninstall.exe", later, true},
  };
  for (const auto& [uninstaller, folder, takesTheInstallation] : uninstallers) {
    SCOPED_TRACE(uninstaller);
    ASSERT_TRUE(prefix.Resume());
    EXPECT_EQ(run({uninstaller, "/S"}, takesTheInstallation ? "uninstall" : "uninstall-copy"), 0);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (fs::exists(folder) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(100ms);
    }
    EXPECT_FALSE(fs::exists(folder)) << "its folder is still there after 30 s";
    ASSERT_TRUE(prefix.Shutdown());
    EXPECT_EQ(prefix.UserKey(UninstallKey).has_value(), !takesTheInstallation);
    EXPECT_EQ(fs::exists(shortcut), !takesTheInstallation);
    EXPECT_EQ(fs::exists(later / "quillmarch-varo-server.exe"), !takesTheInstallation);
  }
}

// An instance started as administrator holds a mutex that a normal user may not open at all: the
// installer and the uninstaller count it as running, as the program does, and stop having changed
// nothing (exit code 2) instead of replacing or removing the files it runs from.
TEST_F(WindowsInstaller, StopsForAnInstanceWhoseMutexItMayNotOpen) {
  const char* holder = std::getenv("VARO_WINDOWS_MUTEX_HOLDER");
  if (holder == nullptr || *holder == '\0') {
    GTEST_SKIP() << "VARO_WINDOWS_MUTEX_HOLDER names no stand-in for an elevated instance";
  }
  TempDir root;
  WinePrefix prefix(root.Path() / "wine", *wine_, *wineserver_);
  ASSERT_TRUE(prefix.Boot()) << "the Wine prefix could not be made";
  const auto run = [&](std::vector<std::string> command, const std::string& tag) {
    command.insert(command.begin(), wine_->string());
    return RunToEnd(command, prefix.Env(), prefix.Logs(), tag, 120);
  };
  // A folder without spaces: "_?=" works only unquoted, and Wine quotes an argument with spaces.
  const std::string windowsFolder = "C:\\Varo";
  const fs::path folder = prefix.Folder() / "drive_c/Varo";
  // Run in place (as an upgrade runs it), so its own exit code tells what it did.
  const std::vector<std::string> uninstall = {windowsFolder + "\\uninstall.exe", "/S",
                                              "_?=" + windowsFolder};
  ASSERT_EQ(run({installer_, "/S", "/D=" + windowsFolder}, "setup"), 0);

  auto held = std::make_unique<ChildProcess>(
      std::vector<std::string>{wine_->string(), holder, "Quillmarch Varo server"}, prefix.Env(),
      prefix.Logs(), "holder");
  ASSERT_TRUE(held->WaitForOutputLines(1, 60)) << held->StandardError();
  const struct {
    std::vector<std::string> command;
    std::string tag;
  } runs[] = {{{installer_, "/S", "/D=" + windowsFolder}, "setup-while-held"},
              {uninstall, "uninstall-while-held"}};
  for (const auto& [command, tag] : runs) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(run(command, tag), 2);
    EXPECT_TRUE(fs::is_regular_file(folder / "quillmarch-varo-server.exe"));
    EXPECT_TRUE(fs::is_regular_file(folder / "LEGGIMI.txt"));
  }

  // Once the instance has ended, the uninstaller does its work.
  held->Signal(SIGKILL);
  ASSERT_TRUE(held->WaitEnded(10));
  held.reset();
  EXPECT_EQ(run(uninstall, "uninstall"), 0);
  EXPECT_FALSE(fs::exists(folder / "quillmarch-varo-server.exe"));
}

}  // namespace
}  // namespace varo::test
