#include "shell/qt/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace varo {

namespace {

// The notification's urgency "normal": a note to read, not an alarm that stays until dismissed.
constexpr unsigned char NormalUrgency = 1;
// The service decides how long the message shows.
constexpr int ServiceTimeout = -1;

}  // namespace

void ShowDesktopNotification(const QString& title, const QString& text) {
  QDBusMessage notify = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  const QString program = QStringLiteral("quillmarch-varo-server");
  const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(NormalUrgency)},
                          {QStringLiteral("desktop-entry"), program}};
  notify << title << 0u << program << title << text << QStringList() << hints << ServiceTimeout;
  QDBusConnection::sessionBus().send(notify);
}

}  // namespace varo
