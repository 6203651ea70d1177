// The user's folders the program keeps its files below, as the system names them. Paths are
// UTF-8; an empty one means the system names none.
#pragma once

#include <string>

namespace varo {

// The roaming application-data folder, below which the settings folder lies. Linux:
// $XDG_CONFIG_HOME, else $HOME/.config. Windows: the known folder RoamingAppData.
std::string RoamingAppDataFolder();

// The folder of the program's event log and crash reports, which the user keeps: Linux
// $XDG_STATE_HOME/Quillmarch/Quillmarch Varo Server, else $HOME/.local/state/...; Windows
// LocalAppData\Quillmarch\Quillmarch Varo Server. Empty when the system names no base folder.
std::string EventLogFolder();

}  // namespace varo
