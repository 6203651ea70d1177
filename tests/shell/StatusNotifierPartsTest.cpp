// The parts of the program's D-Bus tray item that a notification area reads: the icon's pictures
// in the byte order the protocol fixes, and the tray menu as the exported menu's entries.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "shell/qt/DBusMenu.h"
#include "shell/qt/StatusNotifierItem.h"

namespace varo::test {
namespace {

TEST(StatusNotifierParts, PixmapsAreArgbInNetworkOrderAtEachSize) {
  // Opaque red 0x11, green 0x22, blue 0x33, drawn large so every size is scaled from it.
  QPixmap square(128, 128);
  square.fill(QColor(0x11, 0x22, 0x33));
  const QList<SniPixmap> pixmaps = SniPixmapsOf(QIcon(square));
  std::vector<int> sizes;
  for (const SniPixmap& pixmap : pixmaps) {
    sizes.push_back(pixmap.Width);
    EXPECT_EQ(pixmap.Height, pixmap.Width);
    ASSERT_EQ(pixmap.Pixels.size(), pixmap.Width * pixmap.Height * 4);
    const std::string last(pixmap.Pixels.end() - 4, pixmap.Pixels.end());
    EXPECT_EQ(std::string(pixmap.Pixels.begin(), pixmap.Pixels.begin() + 4), "\xFF\x11\x22\x33");
    EXPECT_EQ(last, "\xFF\x11\x22\x33");
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 22, 24, 32, 48, 64}));
}

TEST(StatusNotifierParts, TheMenusEntriesFollowItsActions) {
  QMenu menu;
  QAction* show = menu.addAction(QStringLiteral("Mostra"));
  QAction* marked = menu.addAction(QStringLiteral("&Salva_e && chiudi"));
  menu.addSeparator();
  QAction* off = menu.addAction(QStringLiteral("Esci"));
  off->setEnabled(false);
  // Not connected: the entries are read through the object itself.
  DBusMenu exported(&menu, QDBusConnection(QStringLiteral("none")), QStringLiteral("/MenuBar"),
                    nullptr);

  struct Entry {
    int id;
    std::optional<QVariantMap> properties;
  };
  const QString label = QStringLiteral("label"), enabled = QStringLiteral("enabled"),
                visible = QStringLiteral("visible"), type = QStringLiteral("type");
  // Qt's mnemonic becomes the menu protocol's, a separator and a disabled action are told as such,
  // and an entry that does not exist has no properties.
  for (const Entry& entry : {
           Entry{2, QVariantMap{{label, QStringLiteral("_Salva__e & chiudi")},
                                {enabled, true},
                                {visible, true}}},
           Entry{3, QVariantMap{{type, QStringLiteral("separator")}, {visible, true}}},
           Entry{4,
                 QVariantMap{{label, QStringLiteral("Esci")}, {enabled, false}, {visible, true}}},
           Entry{5, std::nullopt},
           Entry{-1, std::nullopt},
       }) {
    EXPECT_EQ(exported.Properties(entry.id), entry.properties) << entry.id;
  }

  // A click triggers an enabled entry's action once the event is handled, never a disabled one.
  int shown = 0, ended = 0;
  QObject::connect(show, &QAction::triggered, [&] { ++shown; });
  QObject::connect(off, &QAction::triggered, [&] { ++ended; });
  QObject::connect(marked, &QAction::triggered, [] { ADD_FAILURE() << "hovered, not clicked"; });
  EXPECT_TRUE(exported.HandleEvent(1, QStringLiteral("clicked")));
  EXPECT_TRUE(exported.HandleEvent(2, QStringLiteral("hovered")));
  EXPECT_TRUE(exported.HandleEvent(4, QStringLiteral("clicked")));
  EXPECT_FALSE(exported.HandleEvent(7, QStringLiteral("clicked")));
  EXPECT_EQ(shown, 0) << "triggered before the reply";
  QCoreApplication::processEvents();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(ended, 0);
}

}  // namespace
}  // namespace varo::test

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
