// The program's icon in D-Bus notification areas (KDE Plasma, GNOME with AppIndicator and others
// that run an org.kde.StatusNotifierWatcher): an org.kde.StatusNotifierItem of its own, since Qt's
// offers no way to ask for the user's attention while a problem lasts.
#pragma once

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QDBusServiceWatcher;
class QMenu;

namespace varo {

class DBusMenu;

// One picture of an icon as the item hands it over: ARGB32 pixels in network byte order.
struct SniPixmap {
  int Width = 0;
  int Height = 0;
  QByteArray Pixels;
};

// The item's tip: an icon name, its pictures, a title and a text.
struct SniToolTip {
  QString IconName;
  QList<SniPixmap> Pixmaps;
  QString Title;
  QString Text;
};

}  // namespace varo

Q_DECLARE_METATYPE(varo::SniPixmap)
Q_DECLARE_METATYPE(varo::SniToolTip)

namespace varo {

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip);

// The pictures of icon at the sizes notification areas draw, for the item's properties.
QList<SniPixmap> SniPixmapsOf(const QIcon& icon);

class StatusNotifierItemAdaptor;

class StatusNotifierItem : public QObject {
  Q_OBJECT

 public:
  // Asks, without waiting, whether the session bus has a notification area of this kind (a
  // watcher with a host); answer runs on context's thread once the bus has answered, with false
  // for no answer within two seconds.
  static void AskAvailable(QObject* context, std::function<void(bool)> answer);

  // Exports the item, with menu's actions as its menu, on the session bus and registers it with
  // the watcher, again whenever a watcher comes back; normal and warning are its two looks.
  StatusNotifierItem(const QIcon& normal, const QIcon& warning, QMenu* menu, QObject* parent);
  ~StatusNotifierItem() override;

  // The tip: its first line the title, the rest its text.
  void SetToolTip(const QString& tip);
  // "NeedsAttention" with the warning look, or "Active" with the normal one.
  void SetNeedsAttention(bool attention);
  // Takes the item off the bus, so the notification area drops it.
  void Withdraw();

  // What the item's properties say.
  QString Status() const;
  QString Title() const;
  QString Id() const;
  QString MenuPath() const;
  const QList<SniPixmap>& Pixmaps() const { return attention_ ? warning_ : normal_; }
  const QList<SniPixmap>& AttentionPixmaps() const { return warning_; }
  SniToolTip ToolTip() const;

 signals:
  // The host's activation (a click): the window is due.
  void Activated();

 private:
  // Asks the watcher to show the item.
  void Register();

  QDBusConnection bus_;
  QString service_;
  QList<SniPixmap> normal_;
  QList<SniPixmap> warning_;
  bool attention_ = false;
  QString tipTitle_;
  QString tipText_;
  DBusMenu* menu_;
  QDBusServiceWatcher* watcher_;
  StatusNotifierItemAdaptor* adaptor_;
  bool withdrawn_ = false;
};

// The org.kde.StatusNotifierItem interface of a StatusNotifierItem.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ Category)
  Q_PROPERTY(QString Id READ Id)
  Q_PROPERTY(QString Title READ Title)
  Q_PROPERTY(QString Status READ Status)
  Q_PROPERTY(int WindowId READ WindowId)
  Q_PROPERTY(QString IconName READ NoName)
  Q_PROPERTY(QList<varo::SniPixmap> IconPixmap READ IconPixmap)
  Q_PROPERTY(QString OverlayIconName READ NoName)
  Q_PROPERTY(QList<varo::SniPixmap> OverlayIconPixmap READ NoPixmaps)
  Q_PROPERTY(QString AttentionIconName READ NoName)
  Q_PROPERTY(QList<varo::SniPixmap> AttentionIconPixmap READ AttentionIconPixmap)
  Q_PROPERTY(QString AttentionMovieName READ NoName)
  Q_PROPERTY(varo::SniToolTip ToolTip READ ToolTip)
  Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
  Q_PROPERTY(QDBusObjectPath Menu READ Menu)

 public:
  // Answers for item, as its child.
  explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

  // The interface's properties as the host reads them; names, overlays and movies stay empty,
  // since the item hands over its pictures.
  QString Category() const { return QStringLiteral("ApplicationStatus"); }
  QString Id() const { return item_->Id(); }
  QString Title() const { return item_->Title(); }
  QString Status() const { return item_->Status(); }
  int WindowId() const { return 0; }
  QString NoName() const { return {}; }
  QList<SniPixmap> IconPixmap() const { return item_->Pixmaps(); }
  QList<SniPixmap> NoPixmaps() const { return {}; }
  QList<SniPixmap> AttentionIconPixmap() const { return item_->AttentionPixmaps(); }
  SniToolTip ToolTip() const { return item_->ToolTip(); }
  bool ItemIsMenu() const { return false; }
  QDBusObjectPath Menu() const { return QDBusObjectPath(item_->MenuPath()); }

 public slots:
  // The primary activation, a click: shows the window.
  void Activate(int x, int y);
  // A middle click: nothing.
  void SecondaryActivate(int x, int y);
  // The host shows the exported menu itself; nothing is left to do here.
  void ContextMenu(int x, int y);
  // The wheel over the icon: nothing.
  void Scroll(int delta, const QString& orientation);

 signals:
  void NewTitle();
  void NewIcon();
  void NewAttentionIcon();
  void NewOverlayIcon();
  void NewToolTip();
  void NewStatus(const QString& status);

 private:
  StatusNotifierItem* item_;
};

}  // namespace varo
