// Where the program finds its settings below a configuration folder and its archive below a home
// folder, for tests that start it with folders of their own.
#pragma once

#include <filesystem>

namespace varo::test {

// The settings file below configHome, as the program finds it.
std::filesystem::path SettingsFileBelow(const std::filesystem::path& configHome);

// Writes a settings file with both ports below configHome (folders created) and returns its path;
// throws when it cannot.
std::filesystem::path WritePorts(const std::filesystem::path& configHome, int inPort, int outPort);

// The folder holding both game folders below the Documents folder of home.
std::filesystem::path ArchiveBelow(const std::filesystem::path& home);

// The game folders below home, created.
std::filesystem::path TotocalcioFolderIn(const std::filesystem::path& home);
std::filesystem::path TotogolFolderIn(const std::filesystem::path& home);

// Makes both game folders below home, empty.
void MakeEmptyArchive(const std::filesystem::path& home);

}  // namespace varo::test
