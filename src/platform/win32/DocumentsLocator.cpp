// Windows: the known folder Documents, asked again after the registry reports a change of the
// user's shell folders (the folder's Location tab and OneDrive's backup move Documents there).
#include "platform/DocumentsLocator.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace varo {

namespace {

constexpr wchar_t ShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string KnownDocuments() {
  PWSTR path = nullptr;
  std::string folder;
  // Named even while a redirected Documents cannot be reached (at log-on, off the network): it is
  // then a missing folder, not a failure to name one.
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DONT_VERIFY, nullptr, &path))) {
    folder = win32::Narrow(path);
  }
  CoTaskMemFree(path);  // also when the call failed, as its documentation asks
  return folder;
}

}  // namespace

struct DocumentsLocator::Native {
  HKEY Key = nullptr;
  HANDLE Changed = nullptr;  // signalled by the registry once the key's values change
  bool Asked = false;
  std::string Documents;

  // Asks the registry to signal the next change; false when it cannot, and then every call asks.
  bool Arm() {
    if (Key == nullptr || Changed == nullptr) return false;
    return RegNotifyChangeKeyValue(Key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                   Changed, TRUE) == ERROR_SUCCESS;
  }
};

DocumentsLocator::DocumentsLocator() : native_(std::make_unique<Native>()) {
  Native& n = *native_;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_NOTIFY, &n.Key) != ERROR_SUCCESS) {
    n.Key = nullptr;
  }
  n.Changed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

DocumentsLocator::~DocumentsLocator() {
  if (native_->Key != nullptr) RegCloseKey(native_->Key);
  if (native_->Changed != nullptr) CloseHandle(native_->Changed);
}

const std::string& DocumentsLocator::Current() {
  Native& n = *native_;
  const bool watched = n.Asked && n.Changed != nullptr;
  if (watched && WaitForSingleObject(n.Changed, 0) == WAIT_TIMEOUT) return n.Documents;
  // Armed again before asking, so a change made while asking is seen at the next request.
  if (n.Changed != nullptr) ResetEvent(n.Changed);
  n.Asked = n.Arm();
  n.Documents = KnownDocuments();
  // A folder that could not be named is asked for again at the next request.
  if (n.Documents.empty()) n.Asked = false;
  return n.Documents;
}

}  // namespace varo
