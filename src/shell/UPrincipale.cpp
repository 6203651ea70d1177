#include "shell/UPrincipale.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <cstdio>
#include <stdexcept>

#include "handlers/Handlers.h"
#include "handlers/LogLine.h"
#include "platform/IniProfile.h"
#include "platform/IntegerRule.h"
#include "shell/ApplicationIcon.h"
#include "shell/ShellPaths.h"

namespace varo {

namespace {

constexpr const char* SettingsSection = "Comunicazione";
constexpr const char* InPortKey = "InPort";
constexpr const char* OutPortKey = "OutPort";
constexpr std::int32_t DefaultInPort = 7770;
constexpr std::int32_t DefaultOutPort = 7000;

constexpr int ClientWidth = 549;
constexpr int ClientHeight = 302;
// MemoLog keeps the latest lines only, so a long run or a flood cannot exhaust memory.
constexpr int LogLinesKept = 10000;
// Queued lines reach MemoLog this soon; one batch is laid out once, however many lines it holds.
constexpr int LogFlushMilliseconds = 100;

const QString ProductName = QStringLiteral("Quillmarch Varo Server");

}  // namespace

TFormPrincipale::TFormPrincipale(UserDialogs& dialogs) : dialogs_(dialogs) {
  setWindowTitle(ProductName);
  setWindowIcon(ApplicationIcon());

  MainMenu1 = menuBar();
  Porta = MainMenu1->addMenu(QStringLiteral("Impostazioni"));
  Portainingresso1 = Porta->addAction(QStringLiteral("Porta d'ingresso"));
  Portadiuscita1 = Porta->addAction(QStringLiteral("Porta d'uscita"));
  connect(Portainingresso1, &QAction::triggered, this, [this] { Portainingresso1Click(); });
  connect(Portadiuscita1, &QAction::triggered, this, [this] { Portadiuscita1Click(); });

  MemoLog = new QPlainTextEdit(this);
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoLog->setMaximumBlockCount(LogLinesKept);
  setCentralWidget(MemoLog);
  logFlush_.setSingleShot(true);
  logFlush_.setInterval(LogFlushMilliseconds);
  connect(&logFlush_, &QTimer::timeout, this, [this] { FlushLog(); });
  // One line below the log says whether requests can reach the server at all.
  StatusLabel = new QLabel(this);
  statusBar()->addWidget(StatusLabel, 1);
  statusBar()->setSizeGripEnabled(false);
  resize(ClientWidth,
         ClientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());

  UDPServer = std::make_unique<varo::UDPServer>(handOver_, [this](const ReceivedDatagram& d) {
    UDPServerUDPRead(state_, handlers_, d, *UDPServer);
  });

  FormCreate();
}

TFormPrincipale::~TFormPrincipale() {
  // Stopped before the request state and the handlers it serves with go away.
  UDPServer->Deactivate();
}

void TFormPrincipale::FormCreate() {
  UDPServer->Deactivate();
  folders_ = MakeArchiveFolders(DocumentsFolderPath());
  handlers_ = MakeHandlerTable(folders_, *this);

  const std::string settings = SettingsFilePath();
  state_.OutputPort = ReadProfileInteger(SettingsSection, OutPortKey, DefaultOutPort, settings);
  UDPServer->SetInputPort(ReadProfileInteger(SettingsSection, InPortKey, DefaultInPort, settings));
  ListenerStatus status = ListeningOn(UDPServer->InputPort(), state_.OutputPort);
  try {
    UDPServer->Activate();
  } catch (const BindError& error) {
    // Start-up goes on, so the user can reach the window and choose another input port.
    status = NotListening(UDPServer->InputPort(), state_.OutputPort, error);
    ShowError(QString::fromUtf8(error.what()));
  }
  ShowStatus(status);
  for (const std::string& line :
       StartReport(ProductName.toStdString() + " " VARO_VERSION, status, folders_)) {
    Notice(line);
  }

  TrayIcon = new QSystemTrayIcon(ApplicationIcon(), this);
  TrayIcon->setToolTip(ProductName);
  connect(TrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { TrayEvent(reason); });
  // Nobody sees a notification area without a display; asking for one only brings warnings.
  if (!IsOffscreen()) TrayIcon->show();

  setWindowTitle(ProductName + QStringLiteral(" " VARO_VERSION));
}

void TFormPrincipale::TrayEvent(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) Present();
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

void TFormPrincipale::showEvent(QShowEvent* event) {
  FlushLog();
  QMainWindow::showEvent(event);
}

void TFormPrincipale::closeEvent(QCloseEvent* event) {
  FormClose(event);
  QMainWindow::closeEvent(event);
}

void TFormPrincipale::FormClose(QCloseEvent* /*event*/) {
  closing_ = true;
  if (TrayIcon != nullptr) TrayIcon->hide();
  QCoreApplication::quit();
}

void TFormPrincipale::Portainingresso1Click() {
  PortDialog(InPortKey, DefaultInPort, QStringLiteral("Numero della porta d'ingresso"),
             [this](std::int32_t port) {
               UDPServer->Deactivate();
               UDPServer->SetInputPort(port);
               try {
                 UDPServer->Activate();
               } catch (const std::exception& error) {
                 ReportStatus(NotListening(port, state_.OutputPort, error));
                 throw;
               }
               ReportStatus(ListeningOn(port, state_.OutputPort));
             });
}

void TFormPrincipale::Portadiuscita1Click() {
  PortDialog(OutPortKey, DefaultOutPort, QStringLiteral("Numero della porta d'uscita"),
             [this](std::int32_t port) {
               state_.OutputPort = port;
               ListenerStatus status = status_;
               status.OutputPort = port;
               ReportStatus(status);
             });
}

void TFormPrincipale::PortDialog(const char* key, std::int32_t defaultValue, const QString& prompt,
                                 const std::function<void(std::int32_t)>& putInForce) {
  const std::string settings = SettingsFilePath();
  // The dialog shows what the file holds, which may differ from the value in force.
  const QString shown =
      QString::number(ReadProfileInteger(SettingsSection, key, defaultValue, settings));
  const std::optional<QString> entered =
      dialogs_.AskText(this, QStringLiteral("Impostazione della porta"), prompt, shown);
  // A dialog cut short by the program's end changes nothing.
  if (closing_) return;
  // Cancelling stores and applies the shown value, exactly as confirming it would.
  const QString result = entered.value_or(shown);
  try {
    const std::optional<std::int32_t> port = ParseInteger(result.toStdString());
    if (!port) throw std::invalid_argument("not an integer");
    WritePrivateProfileString(SettingsSection, key, std::to_string(*port), settings);
    putInForce(*port);
  } catch (const std::exception&) {
    dialogs_.ShowMessage(this, QString::fromStdString(CurrentProgramTitle()),
                         QStringLiteral("Il numero della porta non valido"));
  }
}

void TFormPrincipale::ShowStatus(const ListenerStatus& status) {
  status_ = status;
  StatusLabel->setText(QString::fromStdString(StatusLine(status)));
}

void TFormPrincipale::ReportStatus(const ListenerStatus& status) {
  ShowStatus(status);
  Notice(StatusReport(status));
}

void TFormPrincipale::ShowError(const QString& text) {
  dialogs_.ShowMessage(this, QString::fromStdString(CurrentProgramTitle()), text);
}

void TFormPrincipale::Append(const std::string& line) {
  // One log line stays one line, in the view and on standard output alike.
  std::string text = Printable(line);
  pendingLines_.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  // Lines that the view would drop at once are never laid out.
  if (pendingLines_.size() > LogLinesKept) pendingLines_.removeFirst();
  // Hidden, nobody reads the view: the lines wait for the window to be shown.
  if (isVisible() && !logFlush_.isActive()) logFlush_.start();
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void TFormPrincipale::FlushLog() {
  logFlush_.stop();
  if (pendingLines_.isEmpty()) return;
  MemoLog->appendPlainText(pendingLines_.join(QChar('\n')));
  pendingLines_.clear();
}

}  // namespace varo
