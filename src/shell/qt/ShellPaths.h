// The folders and files the program finds through the desktop's standard locations.
#pragma once

#include <string>

namespace varo {

// <config>/Quillmarch/Quillmarch Varo Server, <config> being $XDG_CONFIG_HOME or ~/.config.
std::string SettingsFolderPath();

// The settings file in the settings folder.
std::string SettingsFilePath();

// Creates the settings folder with any missing parent; returns false when it cannot.
bool EnsureSettingsFolder();

// The title of the running program, which captions its message boxes.
std::string CurrentProgramTitle();

}  // namespace varo
