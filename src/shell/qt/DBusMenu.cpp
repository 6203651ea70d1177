#include "shell/qt/DBusMenu.h"

#include <QAction>
#include <QDBusError>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <QMenu>
#include <QMetaObject>

namespace varo {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item) {
  argument.beginStructure();
  argument << item.Id << item.Properties;
  // Children travel as variants, so the type can hold itself.
  argument.beginArray(QMetaType::fromType<QDBusVariant>());
  for (const DBusMenuLayoutItem& child : item.Children) {
    argument << QDBusVariant(QVariant::fromValue(child));
  }
  argument.endArray();
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item) {
  argument.beginStructure();
  argument >> item.Id >> item.Properties;
  argument.beginArray();
  item.Children.clear();
  while (!argument.atEnd()) {
    QDBusVariant child;
    argument >> child;
    item.Children.push_back(qdbus_cast<DBusMenuLayoutItem>(child.variant().value<QDBusArgument>()));
  }
  argument.endArray();
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item) {
  argument.beginStructure();
  argument << item.Id << item.Properties;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item) {
  argument.beginStructure();
  argument >> item.Id >> item.Properties;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys) {
  argument.beginStructure();
  argument << keys.Id << keys.Names;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys) {
  argument.beginStructure();
  argument >> keys.Id >> keys.Names;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event) {
  argument.beginStructure();
  argument << event.Id << event.EventId << event.Data << event.Timestamp;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event) {
  argument.beginStructure();
  argument >> event.Id >> event.EventId >> event.Data >> event.Timestamp;
  argument.endStructure();
  return argument;
}

namespace {

void RegisterTypes() {
  static const bool registered = [] {
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItem>();
    qDBusRegisterMetaType<QList<DBusMenuItem>>();
    qDBusRegisterMetaType<DBusMenuItemKeys>();
    qDBusRegisterMetaType<QList<DBusMenuItemKeys>>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<QList<DBusMenuEvent>>();
    return true;
  }();
  (void)registered;
}

// An action's text as a dbusmenu label: "_" marks the mnemonic there, where Qt uses "&".
QString Label(const QAction& action) {
  const QString text = action.text();
  QString label;
  for (qsizetype at = 0; at < text.size(); ++at) {
    const QChar c = text[at];
    if (c == QLatin1Char('_')) {
      label += QStringLiteral("__");
    } else if (c == QLatin1Char('&') && at + 1 < text.size() && text[at + 1] == c) {
      label += c;  // "&&" is a plain "&"
      ++at;
    } else {
      label += c == QLatin1Char('&') ? QLatin1Char('_') : c;
    }
  }
  return label;
}

QVariantMap ActionProperties(const QAction& action) {
  if (action.isSeparator()) {
    return {{QStringLiteral("type"), QStringLiteral("separator")},
            {QStringLiteral("visible"), action.isVisible()}};
  }
  return {{QStringLiteral("label"), Label(action)},
          {QStringLiteral("enabled"), action.isEnabled()},
          {QStringLiteral("visible"), action.isVisible()}};
}

QVariantMap OnlyNamed(const QVariantMap& properties, const QStringList& names) {
  if (names.isEmpty()) return properties;
  QVariantMap kept;
  for (const QString& name : names) {
    if (properties.contains(name)) kept.insert(name, properties.value(name));
  }
  return kept;
}

}  // namespace

DBusMenu::DBusMenu(QMenu* menu, const QDBusConnection& bus, const QString& path, QObject* parent)
    : QObject(parent), menu_(menu), bus_(bus), path_(path) {
  RegisterTypes();
  adaptor_ = new DBusMenuAdaptor(this);
  const QList<QAction*> actions = menu_->actions();
  for (int index = 0; index < actions.size(); ++index) {
    const int id = index + 1;
    connect(actions[index], &QAction::changed, this, [this, id] {
      if (const auto properties = Properties(id)) {
        emit adaptor_->ItemsPropertiesUpdated({DBusMenuItem{id, *properties}}, {});
      }
    });
  }
  bus_.registerObject(path_, this, QDBusConnection::ExportAdaptors);
}

DBusMenu::~DBusMenu() {
  Withdraw();
}

void DBusMenu::Withdraw() {
  bus_.unregisterObject(path_);
}

QAction* DBusMenu::ActionOf(int id) const {
  const QList<QAction*> actions = menu_->actions();
  return id >= 1 && id <= actions.size() ? actions[id - 1] : nullptr;
}

std::optional<QVariantMap> DBusMenu::Properties(int id) const {
  if (id == 0) return QVariantMap{{QStringLiteral("children-display"), QStringLiteral("submenu")}};
  if (const QAction* action = ActionOf(id)) return ActionProperties(*action);
  return std::nullopt;
}

std::optional<DBusMenuLayoutItem> DBusMenu::Layout(int parentId, int depth,
                                                   const QStringList& names) const {
  const auto properties = Properties(parentId);
  if (!properties) return std::nullopt;
  DBusMenuLayoutItem item{parentId, OnlyNamed(*properties, names), {}};
  // Only the root has children; a depth of 0 asks for the entry alone.
  if (parentId == 0 && depth != 0) {
    for (int id = 1; id <= menu_->actions().size(); ++id) {
      item.Children.push_back(*Layout(id, depth - 1, names));
    }
  }
  return item;
}

void DBusMenu::RefuseCall(const QString& why) const {
  if (calledFromDBus()) sendErrorReply(QDBusError::InvalidArgs, why);
}

bool DBusMenu::HandleEvent(int id, const QString& eventId) {
  if (!Properties(id)) return false;
  QAction* action = ActionOf(id);
  if (action != nullptr && eventId == QLatin1String("clicked") && action->isEnabled()) {
    // After the reply: the action may end the program.
    QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
  }
  return true;
}

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {}

QString DBusMenuAdaptor::TextDirection() const {
  return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                               : QStringLiteral("ltr");
}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DBusMenuLayoutItem& layout) {
  if (const auto found = menu_->Layout(parentId, recursionDepth, propertyNames)) {
    layout = *found;
  } else {
    menu_->RefuseCall(QStringLiteral("no menu entry %1").arg(parentId));
  }
  return menu_->Revision();
}

QList<DBusMenuItem> DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                        const QStringList& propertyNames) {
  QList<DBusMenuItem> items;
  for (const int id : ids) {
    if (const auto properties = menu_->Properties(id)) {
      items.push_back({id, OnlyNamed(*properties, propertyNames)});
    }
  }
  return items;
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
  const auto properties = menu_->Properties(id);
  if (!properties || !properties->contains(name)) {
    menu_->RefuseCall(QStringLiteral("no property %1 of menu entry %2").arg(name).arg(id));
    return QDBusVariant(QString());
  }
  return QDBusVariant(properties->value(name));
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                            uint /*timestamp*/) {
  menu_->HandleEvent(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent>& events) {
  QList<int> unknown;
  for (const DBusMenuEvent& event : events) {
    if (!menu_->HandleEvent(event.Id, event.EventId)) unknown.push_back(event.Id);
  }
  return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int /*id*/) {
  return false;
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
  for (const int id : ids) {
    if (!menu_->Properties(id)) idErrors.push_back(id);
  }
  return {};
}

}  // namespace varo
