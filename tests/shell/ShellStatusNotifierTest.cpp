// The real program with a D-Bus notification area, as KDE Plasma and GNOME's AppIndicator offer
// one: a stand-in StatusNotifierWatcher on a private session bus takes the icon's registration;
// the icon's activation shows the window, its context request does not, and its exported menu
// holds "Mostra" and "Esci", the latter ending the program. While a game folder is missing the
// item asks for attention with its warning look, and says so when it changes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QThread>
#include <filesystem>
#include <mutex>
#include <regex>
#include <string>

#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "posix/ChildProcess.h"
#include "posix/VirtualDesktop.h"

namespace varo::test {
namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// The watcher's side of the protocol, enough for an item to register: a host is there, items
// register by their bus name.
class StandInWatcher : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.kde.StatusNotifierWatcher\">"
        "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/></method>"
        "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
        "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
        "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const QString member = message.member();
    if (member == "Introspect") {
      connection.send(message.createReply("<node>" + introspect({}) + "</node>"));
      return true;
    }
    if (member == "Get" || member == "GetAll") {
      const QVariantMap all{{"IsStatusNotifierHostRegistered", true},
                            {"ProtocolVersion", 0},
                            {"RegisteredStatusNotifierItems", QStringList(Item().c_str())}};
      const QString name = message.arguments().value(1).toString();
      connection.send(member == "GetAll"
                          ? message.createReply(all)
                          : message.createReply(QVariant::fromValue(QDBusVariant(all[name]))));
      return true;
    }
    if (member == "RegisterStatusNotifierItem") {
      const std::lock_guard<std::mutex> lock(mutex_);
      item_ = message.arguments().value(0).toString().toStdString();
    }
    connection.send(message.createReply());
    return true;
  }

  // The bus name of the registered item, "" before one registered.
  std::string Item() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return item_;
  }

 private:
  mutable std::mutex mutex_;
  std::string item_;
};

// A call on the private bus with dbus-send, and its printed reply.
std::string Call(const std::string& display, const std::string& bus, const std::string& call) {
  return RunOn(display, "dbus-send --bus='" + bus + "' --print-reply " + call);
}

// The item's Status as a reply to Get prints it, "" when the reply holds none.
std::string StatusIn(const std::string& reply) {
  std::smatch status;
  return std::regex_search(reply, status, std::regex("variant\\s+string \"(\\w+)\""))
             ? status[1].str()
             : "";
}

TEST(ShellStatusNotifier, ActivationShowsTheWindowAndTheExportedMenuHoldsMostraAndEsci) {
  for (const char* program : {"Xvfb", "dbus-daemon", "dbus-send", "dbus-monitor", "xdotool"}) {
    if (FindProgram(program).empty()) GTEST_SKIP() << program << " is missing";
  }
  TempDir dir;
  auto env = ProgramEnvironment(dir.Path());
  std::unique_ptr<ChildProcess> xserver;
  std::unique_ptr<ChildProcess> busDaemon;
  std::unique_ptr<ChildProcess> program;
  const StopAll cleanup{{&program, &busDaemon, &xserver}};
  const std::string display = StartXvfb(FindProgram("Xvfb"), env, dir.Path(), xserver);
  ASSERT_NE(display, "") << xserver->StandardError();
  env["DISPLAY"] = display;

  busDaemon = std::make_unique<ChildProcess>(
      std::vector<std::string>{FindProgram("dbus-daemon"), "--session", "--nofork",
                               "--print-address=1",
                               "--address=unix:path=" + (dir.Path() / "bus").string()},
      env, dir.Path(), "bus");
  const std::string bus = FirstLine(WaitFor(10.0, [&] { return busDaemon->StandardOutput(); }));
  ASSERT_NE(bus, "") << busDaemon->StandardError();

  // The watcher answers from a thread of its own, whatever this one waits for.
  QThread watcherThread;
  StandInWatcher watcher;
  watcher.moveToThread(&watcherThread);
  watcherThread.start();
  QDBusConnection connection =
      QDBusConnection::connectToBus(QString::fromStdString(bus), "watcher");
  ASSERT_TRUE(connection.registerVirtualObject("/StatusNotifierWatcher", &watcher));
  ASSERT_TRUE(connection.registerService(WatcherService));
  const struct EndWatcher {
    QThread& thread;
    ~EndWatcher() {
      QDBusConnection::disconnectFromBus("watcher");
      thread.quit();
      thread.wait();
    }
  } endWatcher{watcherThread};

  env["DBUS_SESSION_BUS_ADDRESS"] = bus;
  const std::uint16_t inPort = FreeUdpPort();
  UdpPeer client;
  WritePorts(dir.Path() / "config", inPort, FreeUdpPort());
  MakeEmptyArchive(dir.Path() / "home");
  // Every change of the item's status, as a notification area hears of it.
  std::unique_ptr<ChildProcess> monitor = std::make_unique<ChildProcess>(
      std::vector<std::string>{FindProgram("dbus-monitor"), "--address", bus,
                               "type='signal',interface='org.kde.StatusNotifierItem'"},
      env, dir.Path(), "monitor");
  const StopAll endMonitor{{&monitor}};
  program = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env,
                                           dir.Path(), "program");
  const std::string item = WaitFor(10.0, [&] { return watcher.Item(); });
  ASSERT_NE(item, "") << "no icon registered: " << program->StandardError();
  const std::string on = "--dest=" + item + " /StatusNotifierItem ";

  // A reply from the program's event loop: start-up has decided by now whether to show the window.
  const std::string menuPath = Call(display, bus,
                                    on + "org.freedesktop.DBus.Properties.Get "
                                         "string:org.kde.StatusNotifierItem string:Menu");
  std::smatch path;
  ASSERT_TRUE(std::regex_search(menuPath, path, std::regex("object path \"([^\"]+)\"")))
      << menuPath;
  const std::string windowName = "xdotool search --onlyvisible --name '^Quillmarch Varo Server'";
  EXPECT_EQ(RunOn(display, windowName), "") << "a tray is there, yet the window shows at start";

  const std::string layout =
      Call(display, bus,
           "--dest=" + item + " " + path[1].str() +
               " com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:");
  const std::regex label("string \"label\"\\s+variant\\s+string \"(Mostra|Esci)\"");
  std::vector<std::string> labels;
  for (auto it = std::sregex_iterator(layout.begin(), layout.end(), label);
       it != std::sregex_iterator(); ++it) {
    labels.push_back((*it)[1]);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Mostra", "Esci"})) << layout;

  // With both game folders there, all is well; a missing one, found by the next list request,
  // makes the item ask for attention with its warning look, until the folder is back.
  // A property's printed value, without the reply's header line of times and serials.
  const auto property = [&](const std::string& name) {
    const std::string reply = Call(display, bus,
                                   on +
                                       "org.freedesktop.DBus.Properties.Get "
                                       "string:org.kde.StatusNotifierItem string:" +
                                       name);
    return reply.substr(std::min(reply.find('\n'), reply.size()));
  };

  EXPECT_EQ(StatusIn(property("Status")), "Active") << program->StandardError();
  const std::string normalLook = property("IconPixmap");
  const std::string warningLook = property("AttentionIconPixmap");
  EXPECT_NE(normalLook.find("array of bytes"), std::string::npos) << normalLook;
  EXPECT_TRUE(normalLook != warningLook) << "the warning look is the normal one";
  const auto totocalcio = TotocalcioFolderIn(dir.Path() / "home");
  struct Step {
    bool folderThere;
    std::string status;
    const std::string& look;
  };
  for (const Step& step :
       {Step{false, "NeedsAttention", warningLook}, Step{true, "Active", normalLook}}) {
    if (step.folderThere) {
      std::filesystem::create_directories(totocalcio);
    } else {
      std::filesystem::remove(totocalcio);
    }
    EXPECT_EQ(WaitFor(10.0,
                      [&] {
                        client.SendTo(inPort, TotocalcioListRequest());
                        const std::string status = StatusIn(property("Status"));
                        return status == step.status ? status : "";
                      }),
              step.status)
        << program->StandardError();
    EXPECT_TRUE(property("IconPixmap") == step.look)
        << "the icon is not the look of " << step.status;
  }
  const std::string heard = WaitFor(10.0, [&] {
    const std::string out = monitor->StandardOutput();
    const std::size_t attention = out.find("string \"NeedsAttention\"");
    return attention != std::string::npos &&
                   out.find("string \"Active\"", attention) != std::string::npos
               ? out
               : "";
  });
  EXPECT_NE(heard, "") << "no NewStatus to NeedsAttention and back: " << monitor->StandardOutput();

  // The context request leaves the menu to the notification area; the activation shows the window.
  Call(display, bus, on + "org.kde.StatusNotifierItem.ContextMenu int32:0 int32:0");
  EXPECT_EQ(RunOn(display, windowName), "") << "the context request showed the window";
  Call(display, bus, on + "org.kde.StatusNotifierItem.Activate int32:0 int32:0");
  EXPECT_NE(FirstLine(WaitFor(10.0, [&] { return RunOn(display, windowName); })), "")
      << "the activation showed no window";

  // "Esci", by the item id that stands before its label in the layout.
  const std::size_t esci = layout.find("string \"Esci\"");
  ASSERT_NE(esci, std::string::npos);
  const std::string before = layout.substr(0, esci);
  std::smatch id;
  ASSERT_TRUE(std::regex_search(before, id, std::regex("int32 (\\d+)\\s+array \\[[^\\[]*$")))
      << layout;
  Call(display, bus,
       "--dest=" + item + " " + path[1].str() + " com.canonical.dbusmenu.Event int32:" +
           id[1].str() + " string:clicked variant:int32:0 uint32:0");
  EXPECT_EQ(program->WaitExit(5.0), 0) << program->StandardError();
  // Standard output holds the served list requests' lines and nothing else.
  EXPECT_EQ(std::regex_replace(program->StandardOutput(),
                               std::regex("(Richiesta lista Totocalcio|Elenco inviato \\(0\\)) "
                                          "\\[[^\\]\n]+\\]\n"),
                               ""),
            "");
}

}  // namespace
}  // namespace varo::test

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
