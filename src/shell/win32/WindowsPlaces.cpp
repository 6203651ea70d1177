#include "shell/win32/WindowsPlaces.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/DocumentsLocator.h"
#include "platform/KnownFolders.h"
#include "platform/Paths.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "shell/ProgramTitle.h"

namespace varo {

namespace {

// The full path of the running .exe, however long.
std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      return win32::Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string SettingsFolder() {
  return JoinPath(JoinPath(RoamingAppDataFolder(), "Quillmarch"), "Quillmarch Varo Server");
}

bool MakeFolder(const std::string& folder) {
  // Through the UTF-16 name: std::filesystem would read a plain string in the ANSI code page.
  std::error_code error;
  const std::filesystem::path path(win32::Widen(folder));
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

DesktopPlaces WindowsPlaces(const std::string& settingsFolder) {
  // Asked again whenever the registry reports that the user's shell folders changed.
  auto documents = std::make_shared<DocumentsLocator>();
  const std::string program = ExecutablePath();
  DesktopPlaces places{[documents] { return documents->Current(); },
                       JoinPath(settingsFolder, "QuillmarchvaroServer.ini"), ProgramTitle(program)};
  places.ProgramPath = program;
  return places;
}

}  // namespace varo
