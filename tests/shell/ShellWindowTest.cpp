// The main window driven through its own methods on the offscreen platform, its dialogs answered
// through the seam.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>
#include <QTextBlock>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "posix/VethPair.h"
#include "records/ErrorLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/qt/ApplicationIcon.h"
#include "shell/qt/QtUserDialogs.h"
#include "shell/qt/UPrincipale.h"
#include "shell/qt/VaroApplication.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

const QString PortMessage = QStringLiteral("Il numero della porta non valido");
// The title rule applied by hand to this test program's name.
const std::string OwnTitle = "shell_window_tests";

// The status line of a window listening on port: the tests run in a network of their own, where
// this computer has no address but loopback.
std::string ListeningLine(int port, int replies) {
  return "In ascolto sulla porta " + std::to_string(port) +
         ", solo da questo computer (nessuna rete attiva); risposte alla porta " +
         std::to_string(replies);
}

class ShellWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = dir_.Path() / "config";
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ::setenv("HOME", (dir_.Path() / "home").c_str(), 1);
    MakeEmptyArchive(dir_.Path() / "home");
  }

  std::filesystem::path Settings() const { return SettingsFileBelow(config_); }

  // Waits for a reply while the event loop serves the endpoint's hand-overs.
  static std::optional<Bytes> Receive(UdpPeer& peer, double seconds) {
    return ReceiveServing(peer, seconds, ServeEvents);
  }

  // Whether a request to port is answered at replies within the time.
  bool Serves(std::uint16_t port, UdpPeer& replies, double seconds = 5.0) {
    return AnswersUnknownPair(client_, port, replies, seconds, ServeEvents);
  }

  static void ServeEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

  TempDir dir_;
  std::filesystem::path config_;
  UdpPeer client_;
  UdpPeer replies_;
  ScriptedDialogs dialogs_;
};

TEST_F(ShellWindow, StartsServingHiddenWithItsCaptionAndTrayIcon) {
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  TFormPrincipale window(dialogs_);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), "Quillmarch Varo Server 1.15");
  // Offscreen there is no notification area to ask; the icon is ready for one all the same.
  EXPECT_FALSE(window.TrayIconAdded());
  EXPECT_EQ(window.TrayIcon->toolTip().toStdString(),
            "Quillmarch Varo Server\nIn ascolto sulla porta " + std::to_string(inPort));
  EXPECT_EQ(window.StatusLabel->text().toStdString(), ListeningLine(inPort, replies_.Port()));
  EXPECT_EQ(window.Porta->title(), "Impostazioni");
  EXPECT_EQ(window.Portainingresso1->text(), "Porta d'ingresso");
  EXPECT_EQ(window.Portadiuscita1->text(), "Porta d'uscita");
  EXPECT_TRUE(window.MemoLog->isReadOnly());
  EXPECT_EQ(window.MemoLog->toPlainText(), "");
  EXPECT_EQ(window.Folders().TotocalcioFolder,
            (dir_.Path() / "home/Documents/Quillmarch/Quillmarch Varo Server/Totocalcio").string());
  EXPECT_TRUE(Serves(inPort, replies_));
  EXPECT_TRUE(dialogs_.messages.empty());

  // The context request opens the icon's menu, not the window.
  ASSERT_EQ(window.TrayIcon->contextMenu(), window.TrayMenu);
  QStringList items;
  for (const QAction* action : window.TrayMenu->actions()) items << action->text();
  EXPECT_EQ(items, QStringList({"Mostra", "Registro eventi", "Esci"}));
  window.TrayEvent(QSystemTrayIcon::Context);
  EXPECT_FALSE(window.isVisible());
  // A double-click, the single activation of D-Bus notification areas, and "Mostra" show it.
  for (const auto& show :
       std::vector<std::function<void()>>{[&] { window.TrayEvent(QSystemTrayIcon::Trigger); },
                                          [&] { window.TrayEvent(QSystemTrayIcon::DoubleClick); },
                                          [&] { window.Mostra1->trigger(); }}) {
    window.hide();
    show();
    EXPECT_TRUE(window.isVisible());
  }
  EXPECT_EQ(window.centralWidget()->size(), QSize(549, 302));
  const QPoint offset =
      window.geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << "not centred on the screen";

  // "Esci" ends the program as closing the window does.
  window.Esci1->trigger();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.TrayIconAdded());
}

TEST_F(ShellWindow, RequestsReachTheHandlersWhichLogInTheView) {
  MakeEmptyArchive(dir_.Path() / "home");
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  TFormPrincipale window(dialogs_);
  // Hidden, the lines wait; shown, the view has them at once, before any event is served.
  window.Append("Richiesta 0 [12:00:00]");
  QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
  EXPECT_EQ(window.MemoLog->toPlainText(), "");
  window.Present();
  EXPECT_EQ(window.MemoLog->toPlainText(), "Richiesta 0 [12:00:00]");
  window.MemoLog->clear();

  client_.SendTo(inPort, TotocalcioListRequest());
  EXPECT_EQ(Receive(replies_, 5.0), EmptyTotocalcioListReply());
  // Shown, the lines reach the view by themselves within a fraction of a second.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (window.MemoLog->toPlainText().isEmpty() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  const QStringList lines = window.MemoLog->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 2) << window.MemoLog->toPlainText().toStdString();
  EXPECT_TRUE(lines[0].startsWith("Richiesta lista Totocalcio [")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith("Elenco inviato (0) [")) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith("]"));
}

TEST_F(ShellWindow, ATakenInputPortAtStartIsReportedAndStartUpGoesOn) {
  UdpPeer holder;
  WritePorts(config_, holder.Port(), replies_.Port());
  TFormPrincipale window(dialogs_);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].Caption, OwnTitle);
  EXPECT_TRUE(dialogs_.messages[0].Text.starts_with(
      "Could not bind socket. Address and port are already in use.\nLa porta "))
      << dialogs_.messages[0].Text;
  EXPECT_FALSE(window.Server().Endpoint().Active());
  EXPECT_NE(window.TrayIcon, nullptr);
  EXPECT_EQ(window.windowTitle(), "Quillmarch Varo Server 1.15");
  const std::string notListening =
      "Non in ascolto: porta " + std::to_string(holder.Port()) + " in uso";
  EXPECT_EQ(window.StatusLabel->text().toStdString(),
            notListening + "; risposte alla porta " + std::to_string(replies_.Port()));
  // The problem stands above the log without hovering, and the tray icon has its warning look.
  const auto trayLooksWell = [&] {
    return window.TrayIcon->icon().pixmap(32, 32).toImage() ==
           ApplicationIcon().pixmap(32, 32).toImage();
  };
  EXPECT_TRUE(window.MessageArea->isVisibleTo(&window));
  EXPECT_EQ(window.MessageArea->text().toStdString(), notListening);
  EXPECT_FALSE(trayLooksWell());

  // Another port chosen, no problem is left: the area goes, the icon looks as ever.
  const std::uint16_t freePort = FreeUdpPort();
  dialogs_.answers.push_back(std::to_string(freePort));
  window.Portainingresso1->trigger();
  ASSERT_TRUE(window.Server().Endpoint().Active());
  EXPECT_FALSE(window.MessageArea->isVisibleTo(&window));
  EXPECT_TRUE(trayLooksWell());
}

TEST_F(ShellWindow, TheMenuItemsOpenThePortDialogsAndTheStatusLineFollows) {
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  TFormPrincipale window(dialogs_);
  ASSERT_TRUE(Serves(inPort, replies_));

  const std::uint16_t newPort = FreeUdpPort();
  UdpPeer newReplies;
  dialogs_.answers.push_back(std::to_string(newPort));
  window.Portainingresso1->trigger();
  dialogs_.answers.push_back(std::to_string(newReplies.Port()));
  window.Portadiuscita1->trigger();
  ASSERT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(dialogs_.asked[0].Prompt, "Numero della porta d'ingresso");
  EXPECT_EQ(dialogs_.asked[1].Prompt, "Numero della porta d'uscita");
  EXPECT_EQ(window.StatusLabel->text().toStdString(), ListeningLine(newPort, newReplies.Port()));
  EXPECT_TRUE(Serves(newPort, newReplies));

  // A bad entry's message is captioned with the program's title.
  dialogs_.answers.push_back("abc");
  window.Portadiuscita1->trigger();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].Caption, OwnTitle);
  EXPECT_TRUE(QString::fromStdString(dialogs_.messages[0].Text).startsWith(PortMessage + "\n"));
}

TEST_F(ShellWindow, AnAddressAddedOrRemovedShowsWithinTwoSecondsWithoutARefresh) {
  const VethPair pair("v0", "v1");
  if (!pair.Problem().empty()) GTEST_SKIP() << pair.Problem();
  const std::uint16_t inPort = FreeUdpPort();
  WritePorts(config_, inPort, replies_.Port());
  TFormPrincipale window(dialogs_);
  const std::string listening = "In ascolto sulla porta " + std::to_string(inPort);
  const struct {
    const char* What;
    const char* Ip;
    std::string Line, Tip;
  } cases[] = {
      {"added", "addr add 10.9.8.7/24 dev v0",
       listening + " all'indirizzo 10.9.8.7; risposte alla porta " +
           std::to_string(replies_.Port()),
       "Quillmarch Varo Server\n" + listening + " di 10.9.8.7"},
      {"removed", "addr del 10.9.8.7/24 dev v0", ListeningLine(inPort, replies_.Port()),
       "Quillmarch Varo Server\n" + listening},
  };
  for (const auto& [what, ip, line, tip] : cases) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(RunIp(ip));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (window.StatusLabel->text().toStdString() != line &&
           std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(window.StatusLabel->text().toStdString(), line);
    EXPECT_EQ(window.TrayIcon->toolTip().toStdString(), tip);
  }
}

TEST(ShellDialogs, ThePortDialogFitsItsTextsAndMessagesCarryTheWarningIcon) {
  const QString caption = QStringLiteral("Impostazione della porta");
  const QString prompt = QStringLiteral("Numero della porta d'ingresso");
  const auto dialog = MakeEntryDialog(nullptr, caption, prompt, QStringLiteral("7770"));
  dialog->show();
  const QFontMetrics metrics(dialog->font());
  EXPECT_GT(dialog->width(), metrics.horizontalAdvance(caption) + 100);  // beside the buttons
  const auto* label = dialog->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), prompt);
  EXPECT_GE(label->width(), metrics.horizontalAdvance(prompt));
  const auto* buttons = dialog->findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text(), "OK");
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), "Cancel");

  const auto box = MakeMessageBox(nullptr, QStringLiteral("t"), PortMessage);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->text(), PortMessage);
}

TEST_F(ShellWindow, LogLinesGoToTheViewAndToStandardOutput) {
  WritePorts(config_, FreeUdpPort(), replies_.Port());
  TFormPrincipale window(dialogs_);

  // Standard output captured in a file for the length of the appends.
  const auto captured = dir_.Path() / "stdout";
  std::fflush(stdout);
  const int saved = ::dup(1);
  FILE* sink = std::fopen(captured.c_str(), "w");
  ASSERT_NE(sink, nullptr);
  ::dup2(::fileno(sink), 1);
  for (int i = 1; i <= 10003; ++i) window.Append("Richiesta " + std::to_string(i) + " [12:00:00]");
  window.Append("a\nforged line");
  // U+2029, U+2028 and U+0085 break a line in a text view as surely as a line feed does.
  window.Append(
      "b\xE2\x80\xA9"
      "forged\xE2\x80\xA8"
      "line\xC2\x85"
      "too");
  std::fflush(stdout);
  ::dup2(saved, 1);
  ::close(saved);
  std::fclose(sink);

  const std::string out = FileBytes(captured);
  EXPECT_TRUE(out.starts_with("Richiesta 1 [12:00:00]\nRichiesta 2 [12:00:00]\n"));
  EXPECT_TRUE(out.ends_with("Richiesta 10003 [12:00:00]\na?forged line\nb?forged?line?too\n"));
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 10005);

  // The view keeps the latest 10,000 lines, in order.
  window.FlushLog();
  const QTextDocument* log = window.MemoLog->document();
  EXPECT_EQ(log->blockCount(), 10000);
  EXPECT_EQ(log->firstBlock().text(), "Richiesta 6 [12:00:00]");
  EXPECT_EQ(log->lastBlock().previous().text(), "a?forged line");
  EXPECT_EQ(log->lastBlock().text(), "b?forged?line?too");
}

TEST_F(ShellWindow, RegistroEventiOpensTheLogMadeIfMissingOrSaysWhyItCannot) {
  // A stand-in for xdg-open that notes what it was asked to open, the note appearing whole (by a
  // rename) so it is never read half-written; PATH and the state folder are the test's until it
  // ends.
  const auto viewerFolder = dir_.Path() / "bin";
  const auto asked = dir_.Path() / "asked";
  const std::string note = "'" + asked.string() + "'";
  dir_.WriteFile("bin/xdg-open", "#!/bin/sh\nprintf %s \"$1\" >" + note + ".part && /bin/mv " +
                                     note + ".part " + note + "\n");
  std::filesystem::permissions(viewerFolder / "xdg-open", std::filesystem::perms::owner_all);
  // One that finds no program for the file, as xdg-open says by its exit code.
  const auto failingFolder = dir_.Path() / "failing";
  dir_.WriteFile("failing/xdg-open", "#!/bin/sh\nexit 3\n");
  std::filesystem::permissions(failingFolder / "xdg-open", std::filesystem::perms::owner_all);
  struct Restore {
    std::string path = std::getenv("PATH");
    ~Restore() {
      ::setenv("PATH", path.c_str(), 1);
      ::unsetenv("XDG_STATE_HOME");
    }
  } restore;
  const auto state = dir_.Path() / "state";
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  const auto folder = state / "Quillmarch" / "Quillmarch Varo Server";
  const std::string log = (folder / "eventi.log").string();
  WritePorts(config_, FreeUdpPort(), replies_.Port());
  TFormPrincipale window(dialogs_);
  EXPECT_EQ(window.RegistroEventi1->text(), "Registro eventi");

  const struct {
    const char* What;
    std::function<void()> Arrange;
    QAction* Item;
    std::string Message;  // what the user is told; "" when the viewer opens the log
  } cases[] = {
      {"viewer, no log yet", [&] { ::setenv("PATH", viewerFolder.c_str(), 1); },
       window.RegistroEventi1, ""},
      {"no viewer", [&] { ::setenv("PATH", (dir_.Path() / "empty").c_str(), 1); },
       window.RegistroEventi2,
       "Impossibile aprire il registro eventi: nessun programma lo mostra. Il file \xC3\xA8:\n" +
           log},
      {"a viewer that fails", [&] { ::setenv("PATH", failingFolder.c_str(), 1); },
       window.RegistroEventi1,
       "Impossibile aprire il registro eventi: nessun programma lo mostra. Il file \xC3\xA8:\n" +
           log},
      {"a file where the folder belongs",
       [&] {
         ::setenv("PATH", viewerFolder.c_str(), 1);
         std::filesystem::remove_all(state);
         dir_.WriteFile("state/Quillmarch", "in the way");
       },
       window.RegistroEventi2, "Impossibile creare il registro eventi.\n"},
  };
  for (const auto& [what, arrange, item, message] : cases) {
    SCOPED_TRACE(what);
    arrange();
    dialogs_.messages.clear();
    item->trigger();
    if (message.empty()) {
      // The viewer runs on its own; it is waited for here only.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!std::filesystem::exists(asked) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(20));
      }
      EXPECT_EQ(FileBytes(asked), log);
      EXPECT_EQ(FileBytes(log), "");
      EXPECT_TRUE(dialogs_.messages.empty());
    } else {
      // A viewer's end is heard on the main loop.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (dialogs_.messages.empty() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      }
      ASSERT_EQ(dialogs_.messages.size(), 1u);
      EXPECT_EQ(dialogs_.messages[0].Caption, OwnTitle);
      EXPECT_TRUE(dialogs_.messages[0].Text.starts_with(message)) << dialogs_.messages[0].Text;
    }
  }

  // With the file still in the way, the next event cannot be kept: the status line says so.
  DesktopEventLog eventLog;
  eventLog.ShowProblemsOn(&window.Server());
  WriteEvent(Severity::Notice, "an event", "un evento");
  EXPECT_TRUE(window.StatusLabel->text().startsWith("Registro eventi non scrivibile; in ascolto"))
      << window.StatusLabel->text().toStdString();
  eventLog.ShowProblemsOn(nullptr);
}

// Qt's own words, the log's context menu among them, follow the user's language.
TEST(QtWords, FollowTheUsersLanguage) {
  QTranslator italian;
  ASSERT_TRUE(LoadQtWords(italian, QLocale(QLocale::Italian, QLocale::Italy)));
  EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "Select All").toStdString(),
            "Seleziona tutto");
  EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "&Copy").toStdString(), "&Copia");
  QCoreApplication::removeTranslator(&italian);
  QTranslator none;
  EXPECT_FALSE(LoadQtWords(none, QLocale(QLocale::Esperanto)));
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
