// The main window: owner of the endpoint, the request state and the log, with its tray icon and
// the two port dialogs.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/ArchiveFolders.h"
#include "endpoint/RequestDispatch.h"
#include "endpoint/RequestState.h"
#include "endpoint/UDPServer.h"
#include "handlers/ActivityLog.h"
#include "shell/ListenerStatus.h"
#include "shell/QtHandOver.h"
#include "shell/UserDialogs.h"

class QAction;
class QCloseEvent;
class QLabel;
class QShowEvent;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

namespace varo {

class TFormPrincipale : public QMainWindow, public ActivityLog {
  Q_OBJECT

 public:
  // Builds the window hidden and runs FormCreate; dialogs asks and tells the user.
  explicit TFormPrincipale(UserDialogs& dialogs);
  ~TFormPrincipale() override;

  // Starts serving: endpoint on the stored ports, archive folders, tray icon, caption.
  void FormCreate();
  // Shows the window on a double-click of the tray icon; other activations do nothing.
  void TrayEvent(QSystemTrayIcon::ActivationReason reason);
  // Shows, restores and raises the window; centred the first time.
  void Present();
  // The input-port dialog: stores the port and restarts the endpoint on it.
  void Portainingresso1Click();
  // The output-port dialog: stores the port and sends later replies to it.
  void Portadiuscita1Click();

  // Writes a line to standard output at once and queues it for MemoLog, which takes queued lines
  // in one batch a moment later while the window is visible, or at once when it is shown.
  void Append(const std::string& line) override;
  // Moves every queued line into MemoLog now.
  void FlushLog();

  // The output port every reply goes to.
  std::int32_t OutputPort() const { return state_.OutputPort; }
  const ArchiveFolders& Folders() const { return folders_; }
  bool TrayIconAdded() const { return TrayIcon != nullptr && TrayIcon->isVisible(); }
  // Whether the endpoint listens, on which ports, and why not.
  const ListenerStatus& Status() const { return status_; }

  QPlainTextEdit* MemoLog = nullptr;
  QLabel* StatusLabel = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QMenu* Porta = nullptr;
  QAction* Portainingresso1 = nullptr;
  QAction* Portadiuscita1 = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Removes the tray icon as the window closes; closing the main window ends the program.
  void FormClose(QCloseEvent* event);
  void PortDialog(const char* key, std::int32_t defaultValue, const QString& prompt,
                  const std::function<void(std::int32_t)>& putInForce);
  void ShowError(const QString& text);
  // Puts the status on the status line; ReportStatus also tells standard error.
  void ShowStatus(const ListenerStatus& status);
  void ReportStatus(const ListenerStatus& status);

  UserDialogs& dialogs_;
  ListenerStatus status_;
  RequestState state_;
  ArchiveFolders folders_;
  HandlerTable handlers_;
  QtHandOver handOver_;
  // Lines not yet in MemoLog; laying out each line as it comes would cost more than serving it.
  QStringList pendingLines_;
  QTimer logFlush_;
  bool shownOnce_ = false;
  bool closing_ = false;

 public:
  // Declared after what it serves with (hand-over, request state, handlers), so it is stopped
  // before they go, also when the constructor fails half-way.
  std::unique_ptr<varo::UDPServer> UDPServer;
};

}  // namespace varo
