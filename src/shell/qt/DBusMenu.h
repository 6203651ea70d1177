// A QMenu's actions exported as a com.canonical.dbusmenu menu, the menu a D-Bus notification area
// shows for an item: the host draws it and sends the clicks back, which trigger the same QActions
// the window's own tray menu holds.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class QAction;
class QMenu;

namespace varo {

// One entry of a layout: its id, its properties and, wrapped in variants, its children.
struct DBusMenuLayoutItem {
  int Id = 0;
  QVariantMap Properties;
  QList<DBusMenuLayoutItem> Children;
};

// An entry's id with its properties.
struct DBusMenuItem {
  int Id = 0;
  QVariantMap Properties;
};

// An entry's id with the names of properties it lost.
struct DBusMenuItemKeys {
  int Id = 0;
  QStringList Names;
};

// An event the host sends for an entry: "clicked", "hovered", "opened", "closed".
struct DBusMenuEvent {
  int Id = 0;
  QString EventId;
  QDBusVariant Data;
  uint Timestamp = 0;
};

}  // namespace varo

Q_DECLARE_METATYPE(varo::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(varo::DBusMenuItem)
Q_DECLARE_METATYPE(varo::DBusMenuItemKeys)
Q_DECLARE_METATYPE(varo::DBusMenuEvent)

namespace varo {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

class DBusMenuAdaptor;

// The menu on the bus. Entry 0 is the root; the menu's actions are entries 1, 2, ... in order.
class DBusMenu : public QObject, protected QDBusContext {
  Q_OBJECT

 public:
  // Exports menu's actions at path on bus; the menu must outlive this object.
  DBusMenu(QMenu* menu, const QDBusConnection& bus, const QString& path, QObject* parent);
  ~DBusMenu() override;

  // The object path the menu is exported at.
  QString Path() const { return path_; }
  // Takes the menu off the bus.
  void Withdraw();

  // The layout below parentId, depth levels deep (-1: all), with only the named properties (none
  // named: all); nothing when parentId is no entry.
  std::optional<DBusMenuLayoutItem> Layout(int parentId, int depth, const QStringList& names) const;
  // The properties of an entry, nothing when id is no entry.
  std::optional<QVariantMap> Properties(int id) const;
  // Whether id is an entry; a "clicked" event on an action's entry triggers it.
  bool HandleEvent(int id, const QString& eventId);
  // The revision of the layout, the same while the entries stay.
  uint Revision() const { return 1; }
  // Answers the call being handled with an error of bad arguments; QtDBus keeps the call's
  // context with the object, not with its adaptor.
  void RefuseCall(const QString& why) const;

 private:
  QAction* ActionOf(int id) const;

  QMenu* menu_;
  QDBusConnection bus_;
  QString path_;
  DBusMenuAdaptor* adaptor_;
};

// The com.canonical.dbusmenu interface of a DBusMenu.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
  Q_PROPERTY(uint Version READ Version)
  Q_PROPERTY(QString TextDirection READ TextDirection)
  Q_PROPERTY(QString Status READ Status)
  Q_PROPERTY(QStringList IconThemePath READ IconThemePath)

 public:
  // Answers for menu, as its child.
  explicit DBusMenuAdaptor(DBusMenu* menu);

  // The interface's properties: its version, the labels' direction, the menu's normal state and
  // no icon folders of its own.
  uint Version() const { return 3; }
  QString TextDirection() const;
  QString Status() const { return QStringLiteral("normal"); }
  QStringList IconThemePath() const { return {}; }

 public slots:
  // The revision, and the layout below parentId in layout.
  uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                 varo::DBusMenuLayoutItem& layout);
  // The named properties (none named: all) of the entries among ids.
  QList<varo::DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                               const QStringList& propertyNames);
  // One property of one entry.
  QDBusVariant GetProperty(int id, const QString& name);
  // An event from the host: "clicked" triggers the entry's action.
  void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
  // Several events; returns the ids that are no entry.
  QList<int> EventGroup(const QList<varo::DBusMenuEvent>& events);
  // The menu never changes before it opens.
  bool AboutToShow(int id);
  // The same for several entries; idErrors gets the ids that are no entry.
  QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

 signals:
  void LayoutUpdated(uint revision, int parent);
  void ItemsPropertiesUpdated(const QList<varo::DBusMenuItem>& updatedProps,
                              const QList<varo::DBusMenuItemKeys>& removedProps);

 private:
  DBusMenu* menu_;
};

}  // namespace varo
