#include "shell/qt/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QTimer>
#include <QtEndian>
#include <cstring>
#include <string>

#include "records/ErrorLine.h"
#include "shell/DesktopTexts.h"
#include "shell/qt/DBusMenu.h"

namespace varo {

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");
const QString MenuObjectPath = QStringLiteral("/MenuBar");

// The sizes notification areas draw an item at, so none has to scale a large picture down.
constexpr int PixmapSizes[] = {16, 22, 24, 32, 48, 64};

// How long the watcher's answer is waited for, on the event loop, before it counts as none.
constexpr int WatcherAnswerMilliseconds = 2000;

void RegisterTypes() {
  static const bool registered = [] {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<QList<SniPixmap>>();
    qDBusRegisterMetaType<SniToolTip>();
    return true;
  }();
  (void)registered;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
  argument.beginStructure();
  argument << pixmap.Width << pixmap.Height << pixmap.Pixels;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
  argument.beginStructure();
  argument >> pixmap.Width >> pixmap.Height >> pixmap.Pixels;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip) {
  argument.beginStructure();
  argument << tip.IconName << tip.Pixmaps << tip.Title << tip.Text;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip) {
  argument.beginStructure();
  argument >> tip.IconName >> tip.Pixmaps >> tip.Title >> tip.Text;
  argument.endStructure();
  return argument;
}

QList<SniPixmap> SniPixmapsOf(const QIcon& icon) {
  QList<SniPixmap> pixmaps;
  for (const int size : PixmapSizes) {
    QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
    if (image.isNull()) continue;
    if (image.size() != QSize(size, size)) {
      image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap{image.width(), image.height(), {}};
    pixmap.Pixels.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
    char* out = pixmap.Pixels.data();
    for (int y = 0; y < image.height(); ++y) {
      const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const quint32 wire = qToBigEndian(line[x]);
        std::memcpy(out, &wire, sizeof wire);
        out += sizeof wire;
      }
    }
    pixmaps.push_back(pixmap);
  }
  return pixmaps;
}

void StatusNotifierItem::AskAvailable(QObject* context, std::function<void(bool)> answer) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    QTimer::singleShot(0, context, [answer] { answer(false); });
    return;
  }
  // A watcher without a host shows nothing: the window must not stay hidden behind it. No watcher
  // at all is told by the bus at once, as an error of this same call.
  QDBusMessage get = QDBusMessage::createMethodCall(
      WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("Get"));
  get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
  auto* pending =
      new QDBusPendingCallWatcher(bus.asyncCall(get, WatcherAnswerMilliseconds), context);
  QObject::connect(pending, &QDBusPendingCallWatcher::finished, context,
                   [answer](QDBusPendingCallWatcher* done) {
                     const QDBusMessage reply = done->reply();
                     done->deleteLater();
                     answer(reply.type() == QDBusMessage::ReplyMessage &&
                            !reply.arguments().isEmpty() &&
                            reply.arguments().front().value<QDBusVariant>().variant().toBool());
                   });
}

StatusNotifierItem::StatusNotifierItem(const QIcon& normal, const QIcon& warning, QMenu* menu,
                                       QObject* parent)
    : QObject(parent),
      bus_(QDBusConnection::sessionBus()),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1")
                   .arg(QCoreApplication::applicationPid())),
      normal_(SniPixmapsOf(normal)),
      warning_(SniPixmapsOf(warning)),
      tipTitle_(QString::fromUtf8(texts::ProductName)) {
  RegisterTypes();
  adaptor_ = new StatusNotifierItemAdaptor(this);
  menu_ = new DBusMenu(menu, bus_, MenuObjectPath, this);
  bus_.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors);
  bus_.registerService(service_);
  // A panel restarted, or one that came late, has a watcher that knows nothing of the item yet.
  watcher_ = new QDBusServiceWatcher(WatcherService, bus_,
                                     QDBusServiceWatcher::WatchForRegistration, this);
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { Register(); });
  Register();
}

StatusNotifierItem::~StatusNotifierItem() {
  Withdraw();
}

void StatusNotifierItem::Register() {
  if (withdrawn_) return;
  QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, WatcherPath, WatcherService,
                                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << service_;
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
    if (done->isError()) {
      WriteErrorLine(Severity::Warning, "the notification area did not take the tray icon: " +
                                            done->error().message().toStdString());
    }
    done->deleteLater();
  });
}

void StatusNotifierItem::Withdraw() {
  if (withdrawn_) return;
  withdrawn_ = true;
  bus_.unregisterService(service_);
  bus_.unregisterObject(ItemPath);
  menu_->Withdraw();
}

void StatusNotifierItem::SetToolTip(const QString& tip) {
  const qsizetype lineEnd = tip.indexOf(QLatin1Char('\n'));
  const QString title = lineEnd < 0 ? tip : tip.left(lineEnd);
  const QString text = lineEnd < 0 ? QString() : tip.mid(lineEnd + 1);
  if (title == tipTitle_ && text == tipText_) return;
  tipTitle_ = title;
  tipText_ = text;
  emit adaptor_->NewToolTip();
}

void StatusNotifierItem::SetNeedsAttention(bool attention) {
  if (attention == attention_) return;
  attention_ = attention;
  emit adaptor_->NewStatus(Status());
  // Hosts that draw only the icon, whatever the status, still show the warning look.
  emit adaptor_->NewIcon();
}

QString StatusNotifierItem::Status() const {
  return attention_ ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

QString StatusNotifierItem::Title() const {
  return QString::fromUtf8(texts::ProductName);
}

QString StatusNotifierItem::Id() const {
  return QStringLiteral("quillmarch-varo-server");
}

QString StatusNotifierItem::MenuPath() const {
  return menu_->Path();
}

SniToolTip StatusNotifierItem::ToolTip() const {
  return SniToolTip{QString(), Pixmaps(), tipTitle_, tipText_};
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), item_(item) {}

void StatusNotifierItemAdaptor::Activate(int /*x*/, int /*y*/) {
  emit item_->Activated();
}

void StatusNotifierItemAdaptor::SecondaryActivate(int /*x*/, int /*y*/) {}

void StatusNotifierItemAdaptor::ContextMenu(int /*x*/, int /*y*/) {}

void StatusNotifierItemAdaptor::Scroll(int /*delta*/, const QString& /*orientation*/) {}

}  // namespace varo
