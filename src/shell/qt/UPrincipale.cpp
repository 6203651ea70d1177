#include "shell/qt/UPrincipale.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include "endpoint/RefusedSources.h"
#include "platform/DocumentsLocator.h"
#include "platform/ServiceReadiness.h"
#include "records/ErrorLine.h"
#include "shell/DesktopEventLog.h"
#include "shell/DesktopTexts.h"
#include "shell/NotificationAreaWait.h"
#include "shell/qt/ApplicationIcon.h"
#include "shell/qt/DesktopNotification.h"
#include "shell/qt/ElidingLabel.h"
#include "shell/qt/ShellPaths.h"
#include "shell/qt/StatusNotifierItem.h"

namespace varo {

namespace {

// How often a balloon waiting for the icon's place looks again.
constexpr std::chrono::milliseconds BalloonLook(100);
constexpr int ClientWidth = 549;
constexpr int ClientHeight = 302;

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// The settings file, the archive and the message title as the desktop's standard locations give
// them; Documents is found afresh whenever the desktop's record of it changed.
DesktopPlaces QtPlaces() {
  auto documents = std::make_shared<DocumentsLocator>();
  return DesktopPlaces{[documents] { return documents->Current(); }, SettingsFilePath(),
                       CurrentProgramTitle()};
}

}  // namespace

TFormPrincipale::TFormPrincipale(UserDialogs& dialogs) : dialogs_(dialogs) {
  setWindowTitle(Text(texts::ProductName));
  setWindowIcon(ApplicationIcon());

  MainMenu1 = menuBar();
  Porta = MainMenu1->addMenu(Text(texts::SettingsMenu));
  Portainingresso1 = Porta->addAction(Text(texts::InputPortItem));
  Portadiuscita1 = Porta->addAction(Text(texts::OutputPortItem));
  connect(Portainingresso1, &QAction::triggered, this, [this] { Portainingresso1Click(); });
  connect(Portadiuscita1, &QAction::triggered, this, [this] { Portadiuscita1Click(); });
  RegistroEventi1 = MainMenu1->addAction(Text(texts::EventLogItem));
  connect(RegistroEventi1, &QAction::triggered, this, [this] { RegistroEventi1Click(); });

  MemoLog = new QPlainTextEdit(this);
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoLog->setMaximumBlockCount(static_cast<int>(LogLinesKept));
  // Above the log, what keeps requests from being answered, one problem a line, seen without
  // hovering; hidden while there is none.
  MessageArea = new QLabel(this);
  MessageArea->setObjectName(QStringLiteral("MessageArea"));
  MessageArea->setWordWrap(true);
  MessageArea->setTextFormat(Qt::PlainText);
  MessageArea->setTextInteractionFlags(Qt::TextSelectableByMouse);
  MessageArea->setStyleSheet(QStringLiteral(
      "#MessageArea { background: #FFF4CE; color: #3B2F00; border: 1px solid #E0B000;"
      " border-radius: 3px; padding: 6px; margin: 4px; }"));
  MessageArea->hide();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MessageArea);
  layout->addWidget(MemoLog, 1);
  setCentralWidget(central);
  logFlush_.setSingleShot(true);
  logFlush_.setInterval(LogFlushMilliseconds);
  connect(&logFlush_, &QTimer::timeout, this, [this] { FlushLog(); });
  // One line below the log says whether requests can reach the server at all.
  StatusLabel = new ElidingLabel(this);
  statusBar()->addWidget(StatusLabel, 1);
  statusBar()->setSizeGripEnabled(false);
  resize(ClientWidth,
         ClientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());

  // The icon's menu, for notification areas whose icons take no double-click.
  TrayMenu = new QMenu(this);
  Mostra1 = TrayMenu->addAction(Text(texts::ShowItem));
  RegistroEventi2 = TrayMenu->addAction(Text(texts::EventLogItem));
  Esci1 = TrayMenu->addAction(Text(texts::QuitItem));
  connect(RegistroEventi2, &QAction::triggered, this, [this] { RegistroEventi1Click(); });
  connect(Mostra1, &QAction::triggered, this, [this] { Present(); });
  connect(Esci1, &QAction::triggered, this, [this] { close(); });

  server_ =
      std::make_unique<DesktopServer>(handOver_, *this, dialogs, QtPlaces(),
                                      [this](const ListenerStatus& status) { ShowStatus(status); });
  // An address added or removed shows at once; the news comes on a thread of its own.
  server_->FollowAddresses([this] {
    QMetaObject::invokeMethod(
        this, [this] { server_->RefreshAddresses(); }, Qt::QueuedConnection);
  });
  statusRefresh_.setInterval(StatusRefreshInterval);
  connect(&statusRefresh_, &QTimer::timeout, this, [this] { server_->Refresh(); });
  statusRefresh_.start();
  balloonTimer_.setSingleShot(true);
  balloonTimer_.setInterval(BalloonLook);
  connect(&balloonTimer_, &QTimer::timeout, this, [this] { ShowPendingBalloon(); });
  // Refused requests not named one by one are counted without waiting for a further refusal.
  auto* refusalCount = new QTimer(this);
  connect(refusalCount, &QTimer::timeout, this, [this] { server_->TellRefusals(); });
  refusalCount->start(std::chrono::milliseconds(RefusalCountCheck));
  FormCreate();
}

TFormPrincipale::~TFormPrincipale() {
  // Stopped before the hand-over and the log it serves with go away.
  server_->Stop();
}

void TFormPrincipale::FormCreate() {
  server_->Start();

  AddTrayIcon();
  setWindowTitle(Text(texts::Caption));
}

void TFormPrincipale::AddTrayIcon() {
  // Nobody sees a notification area without a display; asking for one only brings warnings.
  if (IsOffscreen()) {
    AddQtTrayIcon();
    return;
  }
  AskForNotifierHost();
}

void TFormPrincipale::AskForNotifierHost() {
  if (askingForHost_) return;
  askingForHost_ = true;
  // Answered on the event loop: the main thread, which also serves requests, never waits for
  // the bus.
  StatusNotifierItem::AskAvailable(this, [this](bool available) {
    askingForHost_ = false;
    if (NotifierItem != nullptr) return;
    if (available) {
      delete TrayIcon;
      TrayIcon = nullptr;
      AddNotifierItem();
    } else if (TrayIcon == nullptr) {
      AddQtTrayIcon();
    }
  });
}

void TFormPrincipale::AddQtTrayIcon() {
  TrayIcon = new QSystemTrayIcon(ApplicationIcon(), this);
  ShowTrayState(server_->Status());
  TrayIcon->setContextMenu(TrayMenu);
  connect(TrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { TrayEvent(reason); });
  if (!IsOffscreen()) TrayIcon->show();
  ShowPendingBalloon();
}

void TFormPrincipale::AddNotifierItem() {
  // Qt's D-Bus tray icon stays "Active" whatever happens, so the program exports its own item.
  NotifierItem = new StatusNotifierItem(ApplicationIcon(), WarningIcon(), TrayMenu, this);
  connect(NotifierItem, &StatusNotifierItem::Activated, this,
          [this] { TrayEvent(QSystemTrayIcon::Trigger); });
  ShowTrayState(server_->Status());
  ShowPendingBalloon();
}

bool TFormPrincipale::TrayIconAdded() const {
  return NotifierItem != nullptr || (TrayIcon != nullptr && TrayIcon->isVisible());
}

bool TFormPrincipale::FindNotificationArea() {
  if (NotifierItem != nullptr) return true;
  // A D-Bus notification area that came after the start takes the icon at the answer.
  if (!IsOffscreen()) AskForNotifierHost();
  return TrayIcon != nullptr && QSystemTrayIcon::isSystemTrayAvailable();
}

void TFormPrincipale::ShowTrayBalloon(const QString& text) {
  pendingBalloon_ = text;
  balloonLooks_ = 0;
  ShowPendingBalloon();
}

void TFormPrincipale::ShowPendingBalloon() {
  if (pendingBalloon_.isEmpty()) return;
  if (NotifierItem != nullptr) {
    ShowDesktopNotification(Text(texts::ProductName), pendingBalloon_);
    pendingBalloon_.clear();
    return;
  }
  // On X the icon is shown at the screen's corner until the notification area embeds it, and a
  // balloon shown then would point there: it waits until the icon has its place.
  if (TrayIcon != nullptr && TrayIcon->isVisible()) {
    const QRect place = TrayIcon->geometry();
    if (!place.isEmpty() && place.topLeft() != QPoint(0, 0)) {
      TrayIcon->showMessage(Text(texts::ProductName), pendingBalloon_, QSystemTrayIcon::Warning);
      pendingBalloon_.clear();
      return;
    }
  }
  // Looked at again while a notification area is waited for; after that the status line and
  // the event log still tell.
  if (++balloonLooks_ > NotificationAreaWait::WaitAtMost / BalloonLook) {
    pendingBalloon_.clear();
    return;
  }
  if (!balloonTimer_.isActive()) balloonTimer_.start();
}

void TFormPrincipale::TrayEvent(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) Present();
}

void TFormPrincipale::ShowStatus(const ListenerStatus& status) {
  const QString line = QString::fromStdString(StatusLine(status));
  StatusLabel->SetWholeText(line);
  QStringList messages;
  for (const std::string& message : MessageLines(status)) {
    messages.push_back(QString::fromStdString(message));
  }
  MessageArea->setText(messages.join(QLatin1Char('\n')));
  MessageArea->setVisible(!messages.isEmpty());
  if (TrayIcon != nullptr || NotifierItem != nullptr) ShowTrayState(status);
  // Never while the input port is not bound: a start whose port is taken is no ready service.
  if (!readyReported_ && server_ && server_->Status().Listening()) {
    readyReported_ = true;
    TellReadiness(1);
  }
}

void TFormPrincipale::ShowTrayState(const ListenerStatus& status) {
  const bool problems = !Problems(status).empty();
  const QString tip = QString::fromStdString(TrayTip(status));
  if (NotifierItem != nullptr) {
    // The item keeps its own state and tells the notification area only of changes.
    NotifierItem->SetToolTip(tip);
    NotifierItem->SetNeedsAttention(problems);
    return;
  }
  TrayIcon->setToolTip(tip);
  if (trayWarns_ == problems) return;
  trayWarns_ = problems;
  TrayIcon->setIcon(problems ? WarningIcon() : ApplicationIcon());
}

void TFormPrincipale::TellReadiness(int attempt) {
  const auto failure = NotifyServiceReady();
  if (!failure) return;
  if (failure->Error == std::errc::resource_unavailable_try_again && attempt < ReadinessTries) {
    QTimer::singleShot(ReadinessRetryInterval, this,
                       [this, attempt] { TellReadiness(attempt + 1); });
    return;
  }
  // The service manager then counts the start as failed when its time is up: say why here.
  WriteErrorLine(Severity::Warning,
                 "cannot tell the service manager (NOTIFY_SOCKET=" + failure->Where +
                     ") that the server is ready: " + failure->Error.message());
}

void TFormPrincipale::Present() {
  if (!shownOnce_) {
    shownOnce_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                      screen->availableGeometry()));
    }
  }
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
}

void TFormPrincipale::RegistroEventi1Click() {
  ShowEventLog(
      dialogs_, CurrentProgramTitle(),
      [this](const std::string& path, std::function<void()> failed) {
        // Watched, never waited for: xdg-open with no handler for the file starts and ends with an
        // error, which the user must hear of. Without a parent, so a viewer still open when the
        // program ends is left running rather than killed with it.
        auto* viewer = new QProcess();
        auto ended = [viewer, failed](bool ok) {
          if (!ok) failed();
          viewer->deleteLater();
        };
        connect(viewer, &QProcess::finished, this, [ended](int code, QProcess::ExitStatus how) {
          ended(how == QProcess::NormalExit && code == 0);
        });
        connect(viewer, &QProcess::errorOccurred, this, [ended](QProcess::ProcessError error) {
          if (error == QProcess::FailedToStart) ended(false);
        });
        viewer->setStandardInputFile(QProcess::nullDevice());
        viewer->setStandardOutputFile(QProcess::nullDevice());  // never among the log's lines
        viewer->setStandardErrorFile(QProcess::nullDevice());
        viewer->start(QStringLiteral("xdg-open"), {QFile::decodeName(path.c_str())});
      });
}

void TFormPrincipale::showEvent(QShowEvent* event) {
  FlushLog();
  // The user looks now: addresses and folders as they are, not as a minute ago.
  server_->Refresh();
  QMainWindow::showEvent(event);
}

void TFormPrincipale::closeEvent(QCloseEvent* event) {
  FormClose(event);
  QMainWindow::closeEvent(event);
}

void TFormPrincipale::FormClose(QCloseEvent* /*event*/) {
  server_->BeginClosing();
  if (TrayIcon != nullptr) TrayIcon->hide();
  if (NotifierItem != nullptr) NotifierItem->Withdraw();
  QCoreApplication::quit();
}

void TFormPrincipale::Append(const std::string& line) {
  log_.Add(line);
  // Hidden, nobody reads the view: the lines wait for the window to be shown.
  if (isVisible() && !logFlush_.isActive()) logFlush_.start();
}

void TFormPrincipale::FlushLog() {
  logFlush_.stop();
  if (log_.Empty()) return;
  const LogBatch batch = log_.Take("\n");
  // The view drops its oldest lines itself, past LogLinesKept.
  MemoLog->appendPlainText(
      QString::fromUtf8(batch.Text.data(), static_cast<qsizetype>(batch.Text.size())));
}

}  // namespace varo
