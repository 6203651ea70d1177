// The main window in this process with a settings folder that is a plain file: it runs on the
// default ports, and saving either port reports the port message and changes nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "shell/qt/UPrincipale.h"

namespace varo::test {
namespace {

TEST(WindowSettings, ASettingsFolderThatIsAFileRunsOnDefaultsAndEverySaveReportsIt) {
  TempDir dir;
  const auto config = dir.Path() / "config";
  const auto folder = config / "Quillmarch" / "Quillmarch Varo Server";
  std::filesystem::create_directories(folder.parent_path());
  {
    std::ofstream out(folder, std::ios::binary);
    out << "not a folder";
  }
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::setenv("HOME", (dir.Path() / "home").c_str(), 1);

  ScriptedDialogs dialogs;
  TFormPrincipale window(dialogs);
  // 7770 may be taken on a shared machine; then start-up reports that, which is not this test's.
  const std::size_t atStart = dialogs.messages.size();
  EXPECT_EQ(window.OutputPort(), 7000);
  EXPECT_EQ(window.Server().Endpoint().InputPort(), 7770);
  const bool active = window.Server().Endpoint().Active();

  // Each message says the port could not be stored and that nothing changed.
  const std::string notStored =
      "Il numero della porta non valido\nNon è stato possibile salvare la porta nel file " +
      (folder / "QuillmarchvaroServer.ini").string() + ": non è cambiato nulla.";
  dialogs.answers.push_back(std::string("7001"));
  window.Portadiuscita1Click();
  ASSERT_EQ(dialogs.messages.size(), atStart + 1);
  EXPECT_EQ(dialogs.messages.back().Text, notStored);
  EXPECT_EQ(dialogs.asked.back().Prefilled, std::string("7000"));
  EXPECT_EQ(window.OutputPort(), 7000);

  dialogs.answers.push_back(std::to_string(FreeUdpPort()));
  window.Portainingresso1Click();
  ASSERT_EQ(dialogs.messages.size(), atStart + 2);
  EXPECT_EQ(dialogs.messages.back().Text, notStored);
  EXPECT_EQ(dialogs.asked.back().Prefilled, std::string("7770"));
  // The write failed before the switch, so the endpoint was not touched.
  EXPECT_EQ(window.Server().Endpoint().InputPort(), 7770);
  EXPECT_EQ(window.Server().Endpoint().Active(), active);
  EXPECT_EQ(FileBytes(folder), "not a folder");
  window.close();
}

}  // namespace
}  // namespace varo::test

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
