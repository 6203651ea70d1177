// Numbers of the program's resources, shared by the resource script and the code.
#pragma once

// The program's icon: the .exe's own, the window's and the tray's.
#define VARO_ICON_ID 1
// The tray's icon with a warning mark, while a problem keeps requests from being served.
#define VARO_WARNING_ICON_ID 2
