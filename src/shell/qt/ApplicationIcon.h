// The program's own icon, drawn for it and built into the executable, and its look while a problem
// keeps requests from being answered.
#pragma once

#include <QIcon>

namespace varo {

// The icon of the windows and the tray.
QIcon ApplicationIcon();

// The tray's icon while a problem lasts: the program's icon with a warning mark at its corner.
QIcon WarningIcon();

}  // namespace varo
