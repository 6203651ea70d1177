// The main window as Qt shows it: the log view, the status line, the menu, the tray icon. What the
// program does lives in DesktopServer; the window keeps only widgets and events.
#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>

#include "handlers/ActivityLog.h"
#include "shell/DesktopServer.h"
#include "shell/LogQueue.h"
#include "shell/qt/ElidingLabel.h"
#include "shell/qt/QtHandOver.h"
#include "shell/qt/QtUserDialogs.h"

class QAction;
class QCloseEvent;
class QLabel;
class QShowEvent;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

namespace varo {

class StatusNotifierItem;

class TFormPrincipale : public QMainWindow, public ActivityLog {
  Q_OBJECT

 public:
  // Builds the window hidden and runs FormCreate; dialogs asks and tells the user.
  explicit TFormPrincipale(UserDialogs& dialogs);
  ~TFormPrincipale() override;

  // Starts serving (DesktopServer::Start), then the tray icon and the caption.
  void FormCreate();
  // Shows the window on an activation of the tray icon: a double-click, or the single activation
  // that D-Bus notification areas send. The context request opens the icon's menu, nothing more.
  void TrayEvent(QSystemTrayIcon::ActivationReason reason);
  // Shows, restores and raises the window; centred the first time.
  void Present();
  // The input-port dialog: stores the port and restarts the endpoint on it.
  void Portainingresso1Click() { server_->AskInputPort(); }
  // The output-port dialog: stores the port and sends later replies to it.
  void Portadiuscita1Click() { server_->AskOutputPort(); }
  // "Registro eventi": the event log in the system's viewer, started apart from the program.
  void RegistroEventi1Click();

  // Writes a line to standard output at once and queues it for MemoLog, which takes queued lines
  // in one batch a moment later while the window is visible, or at once when it is shown.
  void Append(const std::string& line) override;
  // Moves every queued line into MemoLog now.
  void FlushLog();

  DesktopServer& Server() { return *server_; }
  // The output port every reply goes to.
  std::int32_t OutputPort() const { return server_->OutputPort(); }
  const ArchiveFolders& Folders() const { return server_->Folders(); }
  // Whether a notification area shows the icon: Qt's, or the D-Bus item's.
  bool TrayIconAdded() const;
  // Whether a notification area is known to be there now; asks the bus again, without waiting,
  // so that one of the D-Bus kind that came after the start takes the icon from Qt's tray icon,
  // which such an area may never show.
  bool FindNotificationArea();
  // A balloon at the icon once it has its place, or the desktop's notification for a D-Bus item;
  // nothing when neither comes while a notification area is waited for.
  void ShowTrayBalloon(const QString& text);
  // Whether the endpoint listens, on which ports, and why not.
  const ListenerStatus& Status() const { return server_->Status(); }

  QPlainTextEdit* MemoLog = nullptr;
  // Above the log: one line a problem, hidden while there is none.
  QLabel* MessageArea = nullptr;
  ElidingLabel* StatusLabel = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QMenu* Porta = nullptr;
  QAction* Portainingresso1 = nullptr;
  QAction* Portadiuscita1 = nullptr;
  QAction* RegistroEventi1 = nullptr;
  // Qt's tray icon, for notification areas of the X kind and without a display; or the program's
  // own item where a D-Bus notification area is (NotifierItem, then TrayIcon stays null).
  QSystemTrayIcon* TrayIcon = nullptr;
  StatusNotifierItem* NotifierItem = nullptr;
  // The tray icon's menu: "Mostra" shows the window, "Esci" closes it, ending the program.
  QMenu* TrayMenu = nullptr;
  QAction* Mostra1 = nullptr;
  QAction* RegistroEventi2 = nullptr;
  QAction* Esci1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Removes the tray icon as the window closes; closing the main window ends the program.
  void FormClose(QCloseEvent* event);
  // Puts a new status on the status line; the first time the endpoint listens, the service
  // manager that may have started the program hears that it is ready.
  void ShowStatus(const ListenerStatus& status);
  // Qt's tray icon, or the D-Bus item where a notification area of that kind is, once the bus
  // has answered.
  void AddTrayIcon();
  // Asks the bus, without waiting, for a D-Bus notification area; the answer adds the icon.
  void AskForNotifierHost();
  // Qt's tray icon, for notification areas of the X kind and without a display.
  void AddQtTrayIcon();
  // The D-Bus item in place of Qt's tray icon.
  void AddNotifierItem();
  // Shows the balloon asked for once the icon has its place in a notification area.
  void ShowPendingBalloon();
  // Puts the status's tip on the tray icon, and the icon's warning look while problems last.
  void ShowTrayState(const ListenerStatus& status);
  // Tells the service manager that the server is ready; a full queue is tried again later, up to
  // ReadinessTries attempts in all.
  void TellReadiness(int attempt);

  UserDialogs& dialogs_;
  LogQueue log_;
  QTimer logFlush_;
  QTimer statusRefresh_;
  bool shownOnce_ = false;
  bool readyReported_ = false;
  bool askingForHost_ = false;
  // A balloon waiting for the icon's place, and how often it looked.
  QString pendingBalloon_;
  long long balloonLooks_ = 0;
  QTimer balloonTimer_;
  // Whether Qt's tray icon has its warning look; nothing before its look was first set.
  std::optional<bool> trayWarns_;
  QtHandOver handOver_;
  // Declared last: its endpoint is stopped before the hand-over and the log it serves with go.
  std::unique_ptr<DesktopServer> server_;
};

}  // namespace varo
