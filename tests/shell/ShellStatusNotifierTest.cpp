// The real program with a D-Bus notification area, as KDE Plasma and GNOME's AppIndicator offer
// one: a stand-in StatusNotifierWatcher on a private session bus takes the icon's registration;
// the icon's activation shows the window, its context request does not, and its exported menu
// holds "Mostra" and "Esci", the latter ending the program. While a game folder is missing the
// item asks for attention with its warning look, and says so when it changes. A crash of the last
// run is told through the desktop's notification service.
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

// The desktop's notification service, enough to take messages: it keeps each one's summary and
// body.
class StandInNotifications : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.Notifications\">"
        "<method name=\"Notify\"><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"u\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"as\" direction=\"in\"/><arg type=\"a{sv}\" direction=\"in\"/>"
        "<arg type=\"i\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/></method>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() == "Notify") {
      const std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message.arguments().value(3).toString().toStdString() + "\n" +
                          message.arguments().value(4).toString().toStdString());
    }
    connection.send(message.createReply(QVariantList{1u}));
    return true;
  }

  // Each message taken so far: its summary, a line break, its body.
  std::vector<std::string> Messages() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
};

// The item's Status as a reply to Get prints it, "" when the reply holds none.
std::string StatusIn(const std::string& reply) {
  std::smatch status;
  return std::regex_search(reply, status, std::regex("variant\\s+string \"(\\w+)\""))
             ? status[1].str()
             : "";
}

// A display and a private session bus whose stand-in watcher and notification service answer
// from a thread of their own, whatever the test waits for.
class ShellStatusNotifier : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "dbus-daemon", "dbus-send", "dbus-monitor", "xdotool"}) {
      if (FindProgram(program).empty()) GTEST_SKIP() << program << " is missing";
    }
    env = ProgramEnvironment(dir.Path());
    display = StartXvfb(FindProgram("Xvfb"), env, dir.Path(), xserver_);
    ASSERT_NE(display, "") << xserver_->StandardError();
    env["DISPLAY"] = display;

    busDaemon_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{FindProgram("dbus-daemon"), "--session", "--nofork",
                                 "--print-address=1",
                                 "--address=unix:path=" + (dir.Path() / "bus").string()},
        env, dir.Path(), "bus");
    bus = FirstLine(WaitFor(10.0, [&] { return busDaemon_->StandardOutput(); }));
    ASSERT_NE(bus, "") << busDaemon_->StandardError();

    watcher.moveToThread(&servicesThread_);
    notifications.moveToThread(&servicesThread_);
    servicesThread_.start();
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(bus), "services");
    ASSERT_TRUE(connection.registerVirtualObject("/StatusNotifierWatcher", &watcher));
    ASSERT_TRUE(connection.registerService(WatcherService));
    env["DBUS_SESSION_BUS_ADDRESS"] = bus;
  }

  void TearDown() override {
    Stop(program);
    QDBusConnection::disconnectFromBus("services");
    servicesThread_.quit();
    servicesThread_.wait();
    Stop(busDaemon_);
    Stop(xserver_);
  }

  // Starts the program and returns the bus name its item registered, "" when none did within
  // ten seconds.
  std::string StartProgram() {
    program = std::make_unique<ChildProcess>(std::vector<std::string>{VARO_SERVER_PROGRAM}, env,
                                             dir.Path(), "program");
    return WaitFor(10.0, [&] { return watcher.Item(); });
  }

  // A call on the private bus with dbus-send, and its printed reply.
  std::string Call(const std::string& call) const {
    return RunOn(display, "dbus-send --bus='" + bus + "' --print-reply " + call);
  }

  TempDir dir;
  Environment env;
  std::string display;
  std::string bus;
  std::unique_ptr<ChildProcess> program;

 private:
  std::unique_ptr<ChildProcess> xserver_;
  std::unique_ptr<ChildProcess> busDaemon_;
  QThread servicesThread_;

 protected:
  // After the thread, so they go before it does.
  StandInWatcher watcher;
  StandInNotifications notifications;
};

TEST_F(ShellStatusNotifier, ActivationShowsTheWindowAndTheExportedMenuHoldsMostraAndEsci) {
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
  const std::string item = StartProgram();
  ASSERT_NE(item, "") << "no icon registered: " << program->StandardError();
  const std::string on = "--dest=" + item + " /StatusNotifierItem ";

  // A reply from the program's event loop: start-up has decided by now whether to show the window.
  const std::string menuPath = Call(on +
                                    "org.freedesktop.DBus.Properties.Get "
                                    "string:org.kde.StatusNotifierItem string:Menu");
  std::smatch path;
  ASSERT_TRUE(std::regex_search(menuPath, path, std::regex("object path \"([^\"]+)\"")))
      << menuPath;
  const std::string windowName = "xdotool search --onlyvisible --name '^Quillmarch Varo Server'";
  EXPECT_EQ(RunOn(display, windowName), "") << "a tray is there, yet the window shows at start";

  const std::string layout =
      Call("--dest=" + item + " " + path[1].str() +
           " com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:");
  const std::regex label("string \"label\"\\s+variant\\s+string \"(Mostra|Esci)\"");
  std::vector<std::string> labels;
  for (auto it = std::sregex_iterator(layout.begin(), layout.end(), label);
       it != std::sregex_iterator(); ++it) {
    labels.push_back((*it)[1]);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Mostra", "Esci"})) << layout;
  // A question about no entry gets an error, and the menu goes on answering.
  const std::string refused =
      RunOn(display, "sh -c \"dbus-send --bus='" + bus + "' --print-reply --dest=" + item + " " +
                         path[1].str() +
                         " com.canonical.dbusmenu.GetProperty int32:99 string:label 2>&1\"");
  EXPECT_NE(refused.find("org.freedesktop.DBus.Error.InvalidArgs"), std::string::npos) << refused;

  // A property's printed value, without the reply's header line of times and serials.
  const auto property = [&](const std::string& name) {
    const std::string reply = Call(on +
                                   "org.freedesktop.DBus.Properties.Get "
                                   "string:org.kde.StatusNotifierItem string:" +
                                   name);
    return reply.substr(std::min(reply.find('\n'), reply.size()));
  };

  // With both game folders there, all is well; a missing one, found by the next list request,
  // makes the item ask for attention with its warning look, until the folder is back.
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
  Call(on + "org.kde.StatusNotifierItem.ContextMenu int32:0 int32:0");
  EXPECT_EQ(RunOn(display, windowName), "") << "the context request showed the window";
  Call(on + "org.kde.StatusNotifierItem.Activate int32:0 int32:0");
  EXPECT_NE(FirstLine(WaitFor(10.0, [&] { return RunOn(display, windowName); })), "")
      << "the activation showed no window";

  // "Esci", by the item id that stands before its label in the layout.
  const std::size_t esci = layout.find("string \"Esci\"");
  ASSERT_NE(esci, std::string::npos);
  const std::string before = layout.substr(0, esci);
  std::smatch id;
  ASSERT_TRUE(std::regex_search(before, id, std::regex("int32 (\\d+)\\s+array \\[[^\\[]*$")))
      << layout;
  Call("--dest=" + item + " " + path[1].str() + " com.canonical.dbusmenu.Event int32:" +
       id[1].str() + " string:clicked variant:int32:0 uint32:0");
  EXPECT_EQ(program->WaitExit(5.0), 0) << program->StandardError();
  // Standard output holds the served list requests' lines and nothing else.
  EXPECT_EQ(std::regex_replace(program->StandardOutput(),
                               std::regex("(Richiesta lista Totocalcio|Elenco inviato \\(0\\)) "
                                          "\\[[^\\]\n]+\\]\n"),
                               ""),
            "");
}

TEST_F(ShellStatusNotifier, ACrashOfTheLastRunIsToldOnceByTheDesktopsNotificationService) {
  ASSERT_TRUE(QDBusConnection(QStringLiteral("services"))
                  .registerVirtualObject("/org/freedesktop/Notifications", &notifications));
  ASSERT_TRUE(QDBusConnection(QStringLiteral("services"))
                  .registerService(QStringLiteral("org.freedesktop.Notifications")));
  // What a crash leaves for the next start: the path of its report.
  env["XDG_STATE_HOME"] = (dir.Path() / "state").string();
  const std::string report = (dir.Path() / "state" / "crash-2026-12-08T101500.txt").string();
  dir.WriteFile("state/Quillmarch/Quillmarch Varo Server/ultimo-crash", report + "\n");
  WritePorts(dir.Path() / "config", FreeUdpPort(), FreeUdpPort());
  const std::string item = StartProgram();
  ASSERT_NE(item, "") << "no icon registered: " << program->StandardError();
  // A reply from the program's event loop: start-up, which tells the crash, is over by then.
  Call("--dest=" + item +
       " /StatusNotifierItem org.freedesktop.DBus.Properties.Get "
       "string:org.kde.StatusNotifierItem string:Status");

  const std::string told =
      "Quillmarch Varo Server\nL'ultima esecuzione è terminata con un errore: "
      "rapporto in " +
      report;
  EXPECT_EQ(WaitFor(10.0, [&] { return notifications.Messages().empty() ? "" : "told"; }), "told")
      << program->StandardError();
  EXPECT_EQ(notifications.Messages(), std::vector<std::string>{told});
}

}  // namespace
}  // namespace varo::test

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
