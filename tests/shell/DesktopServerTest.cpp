// What the desktop program does whatever toolkit shows it: start-up, the port dialogs' outcomes,
// the status line and the log's way to the view, driven without any window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SystemFiles.h"
#include "TempDir.h"
#include "endpoint/LoopHandOver.h"
#include "records/ErrorLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopServer.h"
#include "shell/LogQueue.h"

namespace varo::test {
namespace {

using std::chrono::milliseconds;

const std::string PortMessage = "Il numero della porta non valido";
const std::string Title = "Varo Title";
// The one address the tests' computer has; clients type it in.
const std::string Address = "192.0.2.7";
// Where the program runs from, as the firewall's rules name it.
const std::string ProgramPath = "C:\\Programmi\\Varo\\quillmarch-varo-server.exe";

// The status line of a server listening on port, replying to replies, after the problems, which
// lead it.
std::string ListeningLine(int port, int replies, const std::string& problems = "") {
  return (problems.empty() ? "In" : problems + "; in") + " ascolto sulla porta " +
         std::to_string(port) + " all'indirizzo " + Address + "; risposte alla porta " +
         std::to_string(replies);
}

class RecordingLog : public ActivityLog {
 public:
  void Append(const std::string& line) override { lines.push_back(line); }
  void Notice(const std::string& line) override { notices.push_back(line); }
  void Warning(const std::string& line) override { warnings.push_back(line); }
  void NoticeEvent(const std::string& line, const std::string& event) override {
    notices.push_back(line);
    events.push_back(event);
  }
  void WarningEvent(const std::string& line, const std::string& event) override {
    warnings.push_back(line);
    events.push_back(event);
  }
  std::vector<std::string> lines, notices, warnings, events;
};

class DesktopServerTest : public ::testing::Test {
 protected:
  // A server on the given ports, started; its archive below home, its settings below config.
  DesktopServer& Started(int inPort, int outPort) {
    settings_ = WritePorts(dir_.Path() / "config", inPort, outPort);
    return Started();
  }
  DesktopServer& Started() {
    MakeEmptyArchive(dir_.Path() / "home");
    DesktopPlaces places{[this] { return documents_.string(); },
                         SettingsFileBelow(dir_.Path() / "config").string(), Title,
                         [] { return std::vector<std::string>{Address}; }};
    places.ProgramPath = ProgramPath;
    places.Firewall = [this] {
      std::lock_guard lock(firewallMutex_);
      firewallReaders_.push_back(std::this_thread::get_id());
      return firewall_;
    };
    places.FollowProfiles = [this](std::function<void()> changed) {
      std::lock_guard lock(firewallMutex_);
      profileChanged_ = std::move(changed);
      return std::unique_ptr<NetworkProfileWatch>();
    };
    server_ = std::make_unique<DesktopServer>(handOver_, log_, dialogs_, places,
                                              [this](const ListenerStatus& status) {
                                                statusLines_.push_back(StatusLine(status));
                                                tips_.push_back(TrayTip(status));
                                              });
    server_->Start();
    return *server_;
  }

  // Waits for a reply while this thread serves the endpoint's hand-overs.
  std::optional<Bytes> Receive(UdpPeer& peer, double seconds) {
    return ReceiveServing(peer, seconds, [this] { handOver_.ServeFor(milliseconds(5)); });
  }

  // Whether a request to port is answered at replies within the time.
  bool Serves(std::uint16_t port, UdpPeer& replies, double seconds = 5.0) {
    return AnswersUnknownPair(client_, port, replies, seconds,
                              [this] { handOver_.ServeFor(milliseconds(5)); });
  }

  // The settings file with its line ends as on Linux: a new file has CRLF on Windows.
  std::string StoredSettings() const {
    std::string text = FileBytes(settings_);
    std::erase(text, '\r');
    return text;
  }

  // Standard error's line for a server listening on port, replying to replies_.
  std::string ListeningReport(int port) const {
    return "listening on input port " + std::to_string(port) + ", replies to output port " +
           std::to_string(replies_.Port());
  }

  std::string Status() const { return statusLines_.empty() ? "" : statusLines_.back(); }
  // Serves hand-overs until the status line reads line, for at most 10 seconds.
  bool ServedUntilStatus(const std::string& line) {
    return handOver_.ServeUntil([&] { return Status() == line; }, std::chrono::seconds(10));
  }

  // Changes what the firewall answers from now on; it is read on a thread of the server's.
  void SetFirewall(const std::function<void(std::optional<FirewallAnswers>&)>& change) {
    std::lock_guard lock(firewallMutex_);
    change(firewall_);
  }
  // The system's news that a network's profile changed.
  void ProfileChanged() {
    std::function<void()> changed;
    {
      std::lock_guard lock(firewallMutex_);
      changed = profileChanged_;
    }
    ASSERT_TRUE(changed) << "the server follows no profiles";
    changed();
  }
  // The text of the last message shown, its second line (what to do) included.
  std::string LastMessage() const {
    return dialogs_.messages.empty() ? "" : dialogs_.messages.back().Text;
  }

  TempDir dir_;
  std::filesystem::path documents_ = dir_.Path() / "home" / "Documents";
  std::filesystem::path settings_;
  UdpPeer client_;
  UdpPeer replies_;
  ScriptedDialogs dialogs_;
  RecordingLog log_;
  std::vector<std::string> statusLines_;
  std::vector<std::string> tips_;
  LoopHandOver handOver_;
  std::mutex firewallMutex_;
  std::optional<FirewallAnswers> firewall_;       // none, as where no firewall can be read
  std::vector<std::thread::id> firewallReaders_;  // the threads it was read on
  std::function<void()> profileChanged_;
  std::unique_ptr<DesktopServer> server_;
};

TEST_F(DesktopServerTest, StartsOnTheStoredPortsAndReportsWhereItServesFrom) {
  const std::uint16_t inPort = FreeUdpPort();
  MakeEmptyArchive(dir_.Path() / "home");
  DesktopServer& server = Started(inPort, replies_.Port());
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port()));
  EXPECT_EQ(tips_.back(), "Quillmarch Varo Server\nIn ascolto sulla porta " +
                              std::to_string(inPort) + " di " + Address);
  const auto totocalcio = ArchiveBelow(dir_.Path() / "home") / "Totocalcio";
  EXPECT_EQ(server.Folders().TotocalcioFolder, totocalcio.string());
  ASSERT_EQ(log_.notices.size(), 5u);
  EXPECT_EQ(log_.notices[0], "Quillmarch Varo Server 1.15");
  EXPECT_EQ(log_.notices[2], "answering requests from local networks only");
  EXPECT_EQ(log_.notices[3], "Totocalcio systems: " + totocalcio.string());
  EXPECT_TRUE(Serves(inPort, replies_));

  // Requests reach the handlers, which log.
  client_.SendTo(inPort, TotocalcioListRequest());
  EXPECT_EQ(Receive(replies_, 5.0), EmptyTotocalcioListReply());
  ASSERT_EQ(log_.lines.size(), 2u);
  EXPECT_TRUE(log_.lines[0].starts_with("Richiesta lista Totocalcio [")) << log_.lines[0];
}

TEST_F(DesktopServerTest, ATakenInputPortAtStartIsShownAndStartUpGoesOn) {
  UdpPeer holder;
  // While the message waits for the user, the status line and the tray icon already tell why.
  std::string statusWhileOpen;
  dialogs_.whileOpen = [&] { statusWhileOpen = Status(); };
  DesktopServer& server = Started(holder.Port(), replies_.Port());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].Caption, Title);
  EXPECT_EQ(dialogs_.messages[0].Text,
            "Could not bind socket. Address and port are already in use.\nLa porta " +
                std::to_string(holder.Port()) +
                " è usata da un altro programma: sceglierne un'altra da Impostazioni › Porta "
                "d'ingresso.");
  EXPECT_FALSE(server.Endpoint().Active());
  EXPECT_EQ(Status(), "Non in ascolto: porta " + std::to_string(holder.Port()) +
                          " in uso; risposte alla porta " + std::to_string(replies_.Port()));
  EXPECT_EQ(statusWhileOpen, Status());
  ASSERT_EQ(log_.notices.size(), 5u);
  EXPECT_TRUE(log_.notices[1].starts_with("not listening: input port ")) << log_.notices[1];
}

TEST_F(DesktopServerTest, WhoMayAskIsReadAtStartAndAfterAPortChangeAndABadEntryIsShown) {
  const std::uint16_t inPort = FreeUdpPort();
  settings_ = WritePorts(dir_.Path() / "config", inPort, replies_.Port());
  std::ofstream(settings_, std::ios::app) << "[Accesso]\nReti = 203.0.113.0/24, FD00::/8\n";
  Started();
  // The start is told first, then what start-up found in the settings.
  ASSERT_EQ(log_.notices.size(), 6u);
  EXPECT_EQ(log_.notices[0], "Quillmarch Varo Server 1.15");
  EXPECT_EQ(log_.notices[2], "answering requests from loopback, 203.0.113.0/24");
  EXPECT_EQ(log_.notices[5], "[Accesso] Reti: FD00::/8 ignored: this server answers IPv4 only");
  EXPECT_TRUE(Serves(inPort, replies_));  // loopback is always served

  // Taken up again when a port is changed: a bad entry keeps the default and is shown.
  std::ofstream(settings_, std::ios::app) << "[accesso]\n";
  std::string text = FileBytes(settings_);
  text.replace(text.find("203.0.113.0/24"), 14, "203.0.113.0/40");
  WriteBytes(settings_, text);
  const std::uint16_t movedTo = FreeUdpPort();
  dialogs_.answers.push_back(std::to_string(movedTo));
  server_->AskInputPort();
  EXPECT_EQ(Status(), ListeningLine(movedTo, replies_.Port(),
                                    "Voce [Accesso] Reti non valida: \"203.0.113.0/40\", si "
                                    "risponde solo alle reti locali"));
  EXPECT_EQ(log_.warnings, std::vector<std::string>{"[Accesso] Reti: cannot read the entry "
                                                    "\"203.0.113.0/40\"; answering local networks "
                                                    "only"});
  EXPECT_TRUE(Serves(movedTo, replies_));
}

TEST_F(DesktopServerTest, ConfirmingAnInputPortStoresItAndMovesTheEndpoint) {
  const std::uint16_t oldPort = FreeUdpPort();
  DesktopServer& server = Started(oldPort, replies_.Port());
  ASSERT_TRUE(Serves(oldPort, replies_));

  const std::uint16_t newPort = FreeUdpPort();
  dialogs_.answers.push_back(" " + std::to_string(newPort));  // a blank in front is accepted
  server.AskInputPort();

  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].Caption, "Impostazione della porta");
  EXPECT_EQ(dialogs_.asked[0].Prompt, "Numero della porta d'ingresso");
  EXPECT_EQ(dialogs_.asked[0].Prefilled, std::to_string(oldPort));
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(StoredSettings(), "[Comunicazione]\nInPort=" + std::to_string(newPort) +
                                  "\nOutPort=" + std::to_string(replies_.Port()) + "\n");
  EXPECT_TRUE(Serves(newPort, replies_));
  EXPECT_FALSE(Serves(oldPort, replies_, 0.5));
  // Standard error says where it listens, and restates who may ask, as at start.
  ASSERT_GE(log_.notices.size(), 2u);
  EXPECT_EQ(log_.notices.end()[-2], ListeningReport(newPort));
  EXPECT_EQ(log_.notices.back(), "answering requests from local networks only");
}

TEST_F(DesktopServerTest, CancellingWritesTheShownValueBackAndPutsItInForce) {
  const std::uint16_t inPort = FreeUdpPort();
  UdpPeer laterReplies;
  DesktopServer& server = Started(inPort, replies_.Port());
  ASSERT_TRUE(Serves(inPort, replies_));

  // The file was edited while the program runs; the dialog shows and, cancelled, applies it.
  std::ofstream(settings_, std::ios::trunc)
      << "[Comunicazione]\nInPort=" << inPort << "\nOutPort=" << laterReplies.Port() << "\n";
  const std::string edited = StoredSettings();
  server.AskOutputPort();  // no answer scripted: cancelled
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].Prompt, "Numero della porta d'uscita");
  EXPECT_EQ(dialogs_.asked[0].Prefilled, std::to_string(laterReplies.Port()));
  EXPECT_EQ(server.OutputPort(), laterReplies.Port());
  EXPECT_TRUE(Status().ends_with("; risposte alla porta " + std::to_string(laterReplies.Port())));
  EXPECT_EQ(StoredSettings(), edited);
  EXPECT_TRUE(Serves(inPort, laterReplies));
  EXPECT_FALSE(Receive(replies_, 0.3).has_value());

  // Cancelling the input-port dialog restarts the endpoint on the stored port.
  server.AskInputPort();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(server.Endpoint().Active());
  EXPECT_TRUE(Serves(inPort, laterReplies));

  // Every hexadecimal prefix of the integer rule: 1E63 is 7779.
  for (const char* entry : {"$1E63", "0x1E63", "x1E63"}) {
    dialogs_.answers.push_back(entry);
    server.AskOutputPort();
    EXPECT_EQ(server.OutputPort(), 7779) << entry;
  }
  EXPECT_NE(StoredSettings().find("\nOutPort=7779\n"), std::string::npos);
  EXPECT_TRUE(dialogs_.messages.empty());

  // A stored value that could never be put in force, out of range or no number, cancelled,
  // changes nothing and says nothing: the file, the endpoint and the event log stay as they are.
  for (const auto& [key, value] : {std::pair{"OutPort", "70000"}, std::pair{"InPort", "77O1"}}) {
    const bool input = std::string(key) == "InPort";
    std::ofstream(settings_, std::ios::trunc)
        << "[Comunicazione]\nInPort=" << (input ? value : std::to_string(inPort))
        << "\nOutPort=" << (input ? "7779" : value) << "\n";
    const std::string unusable = StoredSettings();
    const std::size_t notices = log_.notices.size();
    if (input) {
      server.AskInputPort();
    } else {
      server.AskOutputPort();
    }
    EXPECT_TRUE(dialogs_.messages.empty()) << key;
    EXPECT_EQ(StoredSettings(), unusable) << key;
    EXPECT_EQ(log_.notices.size(), notices) << key;
    EXPECT_EQ(server.OutputPort(), 7779);
    EXPECT_EQ(server.Endpoint().InputPort(), inPort);
  }
}

TEST_F(DesktopServerTest, ABadEntryShowsTheMessageAndChangesNothing) {
  const std::uint16_t inPort = FreeUdpPort();
  DesktopServer& server = Started(inPort, replies_.Port());
  const std::string before = StoredSettings();

  const std::vector<std::string> entries = {std::to_string(inPort) + " ", "abc", "", "2147483648"};
  for (const std::string& entry : entries) {
    dialogs_.answers.push_back(entry);
    server.AskInputPort();
    dialogs_.answers.push_back(entry);
    server.AskOutputPort();
  }
  ASSERT_EQ(dialogs_.messages.size(), 2 * entries.size());
  for (const auto& message : dialogs_.messages) {
    EXPECT_EQ(message.Caption, Title);
    EXPECT_TRUE(message.Text.starts_with(PortMessage + "\n\"")) << message.Text;
    EXPECT_TRUE(
        message.Text.ends_with("\" non è un numero di porta: scrivere un numero da 1 a "
                               "65535."))
        << message.Text;
  }
  EXPECT_EQ(StoredSettings(), before);
  EXPECT_EQ(server.OutputPort(), replies_.Port());
  EXPECT_TRUE(Serves(inPort, replies_));

  // The settings folder replaced by a plain file: the port can be neither read nor stored.
  std::filesystem::remove_all(dir_.Path() / "config" / "Quillmarch");
  std::ofstream(dir_.Path() / "config" / "Quillmarch") << "x";
  UdpPeer other;
  dialogs_.answers.push_back(std::to_string(other.Port()));
  server.AskOutputPort();
  EXPECT_TRUE(
      LastMessage().starts_with(PortMessage + "\nNon è stato possibile salvare la porta nel file "))
      << LastMessage();
  EXPECT_EQ(server.OutputPort(), replies_.Port());
}

TEST_F(DesktopServerTest, APortThatCannotWorkIsRefusedAndTheServerGoesOnAsItWas) {
  const std::uint16_t inPort = FreeUdpPort();
  DesktopServer& server = Started(inPort, replies_.Port());
  ASSERT_TRUE(Serves(inPort, replies_));
  const std::string stored = StoredSettings();
  const std::string staysOn =
      " Il server resta in ascolto sulla porta " + std::to_string(inPort) + ".";

  // Each is refused with the message and a second line naming the port; nothing is stored, and
  // the old port goes on serving.
  UdpPeer holder;
  const std::string held = std::to_string(holder.Port());
  // A taken port is called taken, a number outside the range not valid.
  const std::string taken = "Could not bind socket. Address and port are already in use.";
  const struct {
    std::string Entry;
    bool Input;
    std::string Message;
  } refused[] = {
      {held, true,
       taken + "\nLa porta " + held +
           " è usata da un altro programma: sceglierne "
           "un'altra da Impostazioni › Porta d'ingresso." +
           staysOn},
      {"70000", true,
       PortMessage + "\nLa porta 70000 non esiste: scrivere un numero da 1 a 65535."},
      {"0", true, PortMessage + "\nLa porta 0 non esiste: scrivere un numero da 1 a 65535."},
      {"-1", false, PortMessage + "\nLa porta -1 non esiste: scrivere un numero da 1 a 65535."},
      {"65536", false,
       PortMessage + "\nLa porta 65536 non esiste: scrivere un numero da 1 a 65535."},
  };
  for (const auto& entry : refused) {
    dialogs_.answers.push_back(entry.Entry);
    entry.Input ? server.AskInputPort() : server.AskOutputPort();
    EXPECT_EQ(LastMessage(), entry.Message);
  }
  EXPECT_EQ(dialogs_.messages.size(), std::size(refused));
  EXPECT_EQ(log_.warnings, std::vector<std::string>{"input port not moved: input port " + held +
                                                    " is in use by another program; still " +
                                                    ListeningReport(inPort)});
  // The event log says it in the user's words.
  EXPECT_EQ(log_.events.back(), "porta d'ingresso non cambiata: porta " + held +
                                    " in uso; ancora in ascolto sulla porta " +
                                    std::to_string(inPort) + ", risposte alla porta " +
                                    std::to_string(replies_.Port()));
  EXPECT_EQ(StoredSettings(), stored);
  EXPECT_EQ(server.OutputPort(), replies_.Port());
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port()));
  EXPECT_TRUE(Serves(inPort, replies_));

  // A listener thread that cannot start once the new port is bound: the same message, inactive,
  // the port let go.
  const std::uint16_t newPort = FreeUdpPort();
  server.Endpoint().SetListenerStarter([](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  });
  dialogs_.answers.push_back(std::to_string(newPort));
  server.AskInputPort();
  EXPECT_EQ(LastMessage(), PortMessage);
  EXPECT_FALSE(server.Endpoint().Active());
  { UdpPeer portLetGo(newPort, "0.0.0.0"); }

  // A later dialog with a free port brings the endpoint back.
  server.Endpoint().SetListenerStarter(
      [](std::function<void()> body) { return std::thread(body); });
  dialogs_.answers.push_back(std::to_string(inPort));
  server.AskInputPort();
  EXPECT_EQ(dialogs_.messages.size(), std::size(refused) + 1);
  EXPECT_TRUE(Serves(inPort, replies_));
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port()));
}

TEST_F(DesktopServerTest, SettingsThatCannotWorkAtStartAreNamedAndDefaultsServe) {
  // Input ports outside 1 to 65535 are not bound; values that do not parse, and output ports
  // outside the range, give their defaults; each is named on the status line and standard error.
  const std::string out = std::to_string(replies_.Port());
  const std::uint16_t freePort = FreeUdpPort();
  const struct {
    std::string InPort, OutPort, StatusStart, Warning, Message;
    bool MayListen;                  // false: the input port is never bound
    std::int32_t InForce, OutForce;  // the ports in force
  } cases[] = {
      {"70000", out, "Non in ascolto: porta 70000 non valida; risposte alla porta " + out, "",
       PortMessage +
           "\nLa porta 70000 non esiste: scegliere un numero da 1 a 65535 da Impostazioni › "
           "Porta d'ingresso.",
       false, 70000, replies_.Port()},
      {"0", out, "Non in ascolto: porta 0 non valida; risposte alla porta " + out, "",
       PortMessage + "\nLa porta 0 non esiste: scegliere un numero da 1 a 65535 da Impostazioni › "
                     "Porta d'ingresso.",
       false, 0, replies_.Port()},
      {"77O1", out,
       "InPort=77O1 non è un numero: si usa la porta 7770; in ascolto sulla porta 7770",
       "settings: InPort=77O1 in " + SettingsFileBelow(dir_.Path() / "config").string() +
           " is not a number; using 7770",
       "", true, 7770, replies_.Port()},
      {std::to_string(freePort), "70000",
       "OutPort=70000 non è una porta da 1 a 65535: risposte alla porta 7000; in ascolto sulla "
       "porta " +
           std::to_string(freePort),
       "settings: OutPort=70000 in " + SettingsFileBelow(dir_.Path() / "config").string() +
           " is not a port from 1 to 65535; replies go to 7000",
       "", true, freePort, 7000},
  };
  for (const auto& entry : cases) {
    settings_ = WritePorts(dir_.Path() / "config", 1, 1);
    WriteBytes(settings_,
               "[Comunicazione]\nInPort=" + entry.InPort + "\nOutPort=" + entry.OutPort + "\n");
    log_.warnings.clear();
    dialogs_.messages.clear();
    Started();
    EXPECT_TRUE(Status().starts_with(entry.StatusStart)) << Status();
    EXPECT_EQ(log_.warnings.empty() ? "" : log_.warnings[0], entry.Warning);
    if (!entry.Message.empty()) {
      EXPECT_EQ(LastMessage(), entry.Message);
    }
    if (!entry.MayListen) {
      EXPECT_FALSE(server_->Endpoint().Active());
    }
    EXPECT_EQ(server_->Endpoint().InputPort(), entry.InForce);
    EXPECT_EQ(server_->OutputPort(), entry.OutForce);
    server_.reset();
  }
}

TEST_F(DesktopServerTest, AMissingGameFolderIsNamedWithItsPathUntilItComesBack) {
  const std::uint16_t inPort = FreeUdpPort();
  DesktopServer& server = Started(inPort, replies_.Port());
  ASSERT_EQ(Status(), ListeningLine(inPort, replies_.Port()));

  // A game folder gone: its requests go unanswered, and the status line names it with its path.
  const auto totocalcio = TotocalcioFolderIn(dir_.Path() / "home");
  std::filesystem::remove_all(totocalcio);
  client_.SendTo(inPort, TotocalcioListRequest());
  const std::string missing = "Cartella Totocalcio mancante: " + totocalcio.string();
  // Served as soon as the request is: waited for, not timed.
  handOver_.ServeUntil([&] { return Status() == ListeningLine(inPort, replies_.Port(), missing); },
                       milliseconds(5000));
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port(), missing));
  EXPECT_FALSE(Receive(replies_, 0.1).has_value());
  EXPECT_TRUE(
      tips_.back().starts_with("Quillmarch Varo Server\nCartella Totocalcio mancante; in "
                               "ascolto sulla porta "))
      << tips_.back();
  EXPECT_EQ(log_.notices.back(), "Totocalcio systems: missing " + totocalcio.string());
  // The window's refresh follows the folder both ways, and so does the next request served.
  std::filesystem::create_directories(totocalcio);
  server.Refresh();
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port()));
  std::filesystem::remove_all(totocalcio);
  server.Refresh();
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port(), missing));
  std::filesystem::create_directories(totocalcio);
  client_.SendTo(inPort, TotocalcioListRequest());
  EXPECT_EQ(Receive(replies_, 5.0), EmptyTotocalcioListReply());
  EXPECT_EQ(Status(), ListeningLine(inPort, replies_.Port()));
}

TEST_F(DesktopServerTest, ASettingsFileThatCannotBeReadIsNamed) {
  // A folder where the file should be cannot be read: the defaults serve, but not silently.
  std::filesystem::create_directories(SettingsFileBelow(dir_.Path() / "config"));
  Started();
  const std::string file = SettingsFileBelow(dir_.Path() / "config").string();
  EXPECT_TRUE(Status().starts_with("File delle impostazioni illeggibile: " + file +
                                   " (porte e accesso predefiniti); in ascolto"))
      << Status();
  ASSERT_FALSE(log_.warnings.empty());
  EXPECT_TRUE(log_.warnings[0].starts_with("cannot read the settings file " + file + ": "))
      << log_.warnings[0];
  EXPECT_EQ(server_->OutputPort(), 7000);
}

TEST_F(DesktopServerTest, DialogsShowTheDefaultsWhenTheFileIsGoneAndADialogCutShortChangesNothing) {
  const std::uint16_t inPort = FreeUdpPort();
  DesktopServer& server = Started(inPort, replies_.Port());
  std::filesystem::remove(settings_);

  dialogs_.answers.push_back(std::to_string(inPort));  // not the default: 7770 may be taken
  server.AskInputPort();
  server.AskOutputPort();  // cancelled: the default shown is stored and put in force
  ASSERT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(dialogs_.asked[0].Prefilled, "7770");
  EXPECT_EQ(dialogs_.asked[1].Prefilled, "7000");
  EXPECT_EQ(StoredSettings(),
            "[Comunicazione]\nInPort=" + std::to_string(inPort) + "\nOutPort=7000\n");
  EXPECT_EQ(server.OutputPort(), 7000);

  // The program ends while the dialog is open: what it returns is neither stored nor applied.
  const std::string before = StoredSettings();
  dialogs_.whileOpen = [this] { server_->BeginClosing(); };
  dialogs_.answers.push_back("abc");
  server.AskOutputPort();
  dialogs_.answers.push_back(std::to_string(replies_.Port()));
  server.AskOutputPort();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(StoredSettings(), before);
  EXPECT_EQ(server.OutputPort(), 7000);
}

TEST_F(DesktopServerTest, AFirewallThatWouldBlockRequestsIsNamedWhileItDoesReadAwayFromThisThread) {
  // A public network whose firewall blocks what no rule allows.
  SetFirewall([](std::optional<FirewallAnswers>& answers) {
    answers = FirewallAnswers{FirewallPublic, {{FirewallPublic, true, true, false}}, {}};
  });
  const std::uint16_t inPort = FreeUdpPort();
  DesktopServer& server = Started(inPort, replies_.Port());
  const std::string blocked = "Windows Firewall blocca le richieste su questa rete (Pubblica)";
  ASSERT_TRUE(ServedUntilStatus(ListeningLine(inPort, replies_.Port(), blocked))) << Status();
  EXPECT_TRUE(tips_.back().starts_with("Quillmarch Varo Server\n" + blocked + "; in ascolto"))
      << tips_.back();
  const std::string port = "input port " + std::to_string(inPort);
  EXPECT_EQ(log_.warnings.back(),
            "Windows Firewall blocks requests to " + port + " on the current network");

  // The user allows the port; news of a network change has it read again, and the note goes.
  SetFirewall([inPort](std::optional<FirewallAnswers>& answers) {
    FirewallRule rule;
    rule.Enabled = rule.Inbound = rule.Allows = true;
    rule.Profiles = FirewallPublic;
    rule.Protocol = FirewallUdp;
    rule.LocalPorts = std::to_string(inPort);
    answers->Rules.push_back(rule);
  });
  server.RefreshAddresses();
  ASSERT_TRUE(ServedUntilStatus(ListeningLine(inPort, replies_.Port()))) << Status();
  EXPECT_EQ(log_.notices.back(), "Windows Firewall lets requests to " + port + " in");

  // Another input port is not the one allowed: it is judged anew.
  const std::uint16_t movedTo = FreeUdpPort();
  dialogs_.answers.push_back(std::to_string(movedTo));
  server.AskInputPort();
  ASSERT_TRUE(ServedUntilStatus(ListeningLine(movedTo, replies_.Port(), blocked))) << Status();

  // Allowed as a program, by its path: news of a profile change has it read again, and the new
  // port gets through too.
  SetFirewall([](std::optional<FirewallAnswers>& answers) {
    answers->Rules[0].LocalPorts = "*";
    answers->Rules[0].Application = ProgramPath;
  });
  ProfileChanged();
  ASSERT_TRUE(ServedUntilStatus(ListeningLine(movedTo, replies_.Port()))) << Status();

  // Showing the window reads the addresses, not the firewall; no reading was ever made on this
  // thread, which serves requests: one at start, one for each piece of news and the moved port.
  server.Refresh();
  handOver_.ServeFor(std::chrono::seconds(2));  // longer than the least gap between readings
  std::lock_guard lock(firewallMutex_);
  EXPECT_EQ(firewallReaders_.size(), 4u);
  for (const std::thread::id reader : firewallReaders_) {
    EXPECT_NE(reader, std::this_thread::get_id());
  }
}

TEST(LogQueue, EveryLineGoesOutAtOnceAndTheViewGetsTheLatestTenThousandInBatches) {
  TempDir dir;
  const auto written = dir.Path() / "out";
  std::FILE* file = std::fopen(written.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  LogQueue queue(file);
  std::vector<LogBatch> batches;
  EXPECT_TRUE(queue.Add("Richiesta 1 [12:00:00]"));
  EXPECT_FALSE(queue.Add("a\nforged line"));
  batches.push_back(queue.Take("\r\n"));
  // U+2029, U+2028 and U+0085 break a line in a text view as surely as a line feed does.
  EXPECT_TRUE(
      queue.Add("b\xE2\x80\xA9"
                "forged\xE2\x80\xA8"
                "line\xC2\x85"
                "too"));
  batches.push_back(queue.Take("\n"));
  for (int i = 1; i <= 10003; ++i) queue.Add("R" + std::to_string(i));
  batches.push_back(queue.Take("\n"));
  queue.Add("last");
  batches.push_back(queue.Take("\n"));
  std::fclose(file);
  const std::string out = FileBytes(written);
  EXPECT_TRUE(out.starts_with("Richiesta 1 [12:00:00]\na?forged line\nb?forged?line?too\nR1\n"));
  EXPECT_TRUE(out.ends_with("\nR10003\nlast\n"));
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 10007);

  EXPECT_EQ(batches[0].Text, "Richiesta 1 [12:00:00]\r\na?forged line");
  EXPECT_EQ(batches[0].Lines, 2u);
  EXPECT_EQ(batches[0].OldestToDrop, 0u);
  EXPECT_EQ(batches[1].Text, "b?forged?line?too");
  // A flood queues only what the view would keep; the view then drops all 3 of its own lines.
  EXPECT_EQ(batches[2].Lines, 10000u);
  EXPECT_TRUE(batches[2].Text.starts_with("R4\nR5\n"));
  EXPECT_TRUE(batches[2].Text.ends_with("\nR10003"));
  EXPECT_EQ(batches[2].OldestToDrop, 3u);
  EXPECT_EQ(batches[3].OldestToDrop, 1u);
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.Take("\n").Lines, 0u);
}

// A message shown to the user is kept in the event log as the user read it: without the program's
// name, its lines one line of sentences.
TEST(ShownMessages, AreKeptAsTheUserReadThem) {
  std::vector<std::string> kept;
  KeepEvents([&kept](std::string_view event) { kept.emplace_back(event); });
  const struct {
    const char* Shown;
    const char* Kept;
  } cases[] = {
      {"Valore non valido\nLa porta 99999 non esiste.",
       "Valore non valido. La porta 99999 non esiste."},
      {"Could not bind socket. Address and port are already in use.\nLa porta 7770 \xC3\xA8 usata.",
       "Could not bind socket. Address and port are already in use. La porta 7770 \xC3\xA8 usata."},
      {"Registro eventi non apribile:\n/home/anna/eventi.log\n",
       "Registro eventi non apribile: /home/anna/eventi.log"},
      {"Una riga sola", "Una riga sola"},
  };
  for (const auto& [shown, expected] : cases) {
    TellShownMessage(Severity::Error, "quillmarch-varo-server", shown);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), expected);
  }
  KeepEvents({});
}

}  // namespace
}  // namespace varo::test
