// A message of the desktop's notification service (org.freedesktop.Notifications), the balloon of
// an icon in a D-Bus notification area.
#pragma once

#include <QString>

namespace varo {

// Sends the message, title naming the sender and heading the text; without a notification
// service nothing shows, and nothing waits for one.
void ShowDesktopNotification(const QString& title, const QString& text);

}  // namespace varo
