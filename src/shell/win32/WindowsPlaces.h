// Where the Windows desktop program keeps its files, and the title its messages carry.
#pragma once

#include <string>

#include "shell/DesktopServer.h"

namespace varo {

// %APPDATA%\Quillmarch\Quillmarch Varo Server.
std::string SettingsFolder();

// Makes folder and its missing parents; false when it does not exist afterwards.
bool MakeFolder(const std::string& folder);

// The Documents folder, the settings file in settingsFolder, the program's own .exe and the title
// rule applied to it.
DesktopPlaces WindowsPlaces(const std::string& settingsFolder);

}  // namespace varo
