// The settings file under a writer killed at random moments, and below a settings folder that is
// not a folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "SystemFiles.h"
#include "TempDir.h"
#include "settings/IniProfile.h"

namespace varo::test {
namespace {

// Another section first and a key before the one being rewritten, with a comment and CRLF-free
// layout the writer must keep byte for byte.
const std::string Before =
    "; Quillmarch\n"
    "[Altro]\n"
    "Chiave=valore\n"
    "\n"
    "[Comunicazione]\n"
    "InPort=7771\n";
std::string WithOutPort(const std::string& value) {
  return Before + "OutPort=" + value + "\n";
}

TEST(SettingsKill, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  TempDir dir;
  const auto file = dir.Path() / "QuillmarchvaroServer.ini";
  {
    std::ofstream out(file, std::ios::binary);
    out << WithOutPort("7001");
  }
  const std::string first = WithOutPort("7001");
  const std::string second = WithOutPort("7002");
  std::mt19937 random(4242);
  int sawFirst = 0, sawSecond = 0;
  constexpr int Rounds = 200;
  for (int round = 0; round < Rounds; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::alarm(20);  // never outlives a parent that could not kill it
      for (unsigned i = 0;; ++i) {
        WritePrivateProfileString("Comunicazione", "OutPort", i % 2 == 0 ? "7002" : "7001",
                                  file.string());
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "round " << round;

    const std::string now = FileBytes(file);
    ASSERT_TRUE(now == first || now == second) << "round " << round << ":\n" << now;
    sawFirst += now == first;
    sawSecond += now == second;
    const std::int32_t outPort =
        ReadProfileInteger("Comunicazione", "OutPort", 7000, file.string());
    EXPECT_TRUE(outPort == 7001 || outPort == 7002);
    EXPECT_EQ(ReadProfileInteger("Comunicazione", "InPort", 7770, file.string()), 7771);
    EXPECT_EQ(GetPrivateProfileString("Altro", "Chiave", "", file.string()), "valore");
  }
  EXPECT_GT(sawFirst, 0);
  EXPECT_GT(sawSecond, 0);

  // A kill between creating and renaming the temporary file leaves at most that hidden file, and
  // the next write that completes removes what killed writers left.
  WritePrivateProfileString("Comunicazione", "OutPort", "7001", file.string());
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "OutPort", 7000, file.string()), 7001);
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_EQ(entry.path().filename().string(), "QuillmarchvaroServer.ini");
  }
}

TEST(SettingsKill, ASettingsFolderThatIsAFileGivesTheDefaultsAndFailsEverySave) {
  TempDir dir;
  const auto folder = dir.Path() / "Quillmarch" / "Quillmarch Varo Server";
  std::filesystem::create_directories(folder.parent_path());
  {
    std::ofstream out(folder, std::ios::binary);
    out << "not a folder";
  }
  const std::string file = (folder / "QuillmarchvaroServer.ini").string();
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "InPort", 7770, file), 7770);
  EXPECT_EQ(ReadProfileInteger("Comunicazione", "OutPort", 7000, file), 7000);
  EXPECT_THROW(WritePrivateProfileString("Comunicazione", "OutPort", "7001", file), std::exception);
  EXPECT_EQ(FileBytes(folder), "not a folder");
}

}  // namespace
}  // namespace varo::test
