// The program's own icon, drawn for it and built into the executable.
#pragma once

#include <QIcon>

namespace varo {

// The icon of the windows and the tray.
QIcon ApplicationIcon();

}  // namespace varo
