// Windows: the known folders of the shell, converted from UTF-16 to UTF-8.
#include "platform/KnownFolders.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace varo {

namespace {

std::string Utf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return "";
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  text.resize(static_cast<std::size_t>(length - 1));  // without the terminating zero
  return text;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = Utf8(path);
  CoTaskMemFree(path);  // also when the call failed, as its documentation asks
  return folder;
}

}  // namespace

std::string DocumentsFolder() {
  return KnownFolder(FOLDERID_Documents);
}

std::string RoamingAppDataFolder() {
  return KnownFolder(FOLDERID_RoamingAppData);
}

}  // namespace varo
