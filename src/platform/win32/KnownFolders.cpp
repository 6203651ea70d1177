// Windows: the known folders of the shell, converted from UTF-16 to UTF-8.
#include "platform/KnownFolders.h"

#include "platform/Paths.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace varo {

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = win32::Narrow(path);
  CoTaskMemFree(path);  // also when the call failed, as its documentation asks
  return folder;
}

}  // namespace

std::string RoamingAppDataFolder() {
  return KnownFolder(FOLDERID_RoamingAppData);
}

std::string EventLogFolder() {
  // Local, not roaming: the log tells of this computer's server.
  const std::string local = KnownFolder(FOLDERID_LocalAppData);
  if (local.empty()) return "";
  return JoinPath(JoinPath(local, "Quillmarch"), "Quillmarch Varo Server");
}

}  // namespace varo
