// Windows: the Recycle Bin, through the shell's file operation with no user interface; what it
// cannot take (a network share, a volume without a Recycle Bin, a long path) is deleted for good.
#include "platform/Trash.h"

#include <string>

#include "platform/FileAccess.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which it builds.
#include <shellapi.h>

namespace varo {

Disposal MoveToTrash(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::LongPathOf(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RemoveFile(path);  // gone already counts as deleted; anything else is told by its failure
    return Disposal::DeletedForGood;
  }
  // A read-only system stays, as a plain deletion would leave it: the attribute is never cleared.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    win32::ThrowError(ERROR_ACCESS_DENIED, "cannot delete " + path);
  }
  // The shell takes no "\\?\" path: a name too long for it goes the plain way.
  std::wstring from = win32::Widen(path);
  if (from.size() < MAX_PATH) {
    from.push_back(L'\0');  // the list of names ends with an empty one
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI;
    if (SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted &&
        GetFileAttributesW(win32::LongPathOf(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
      return Disposal::Trashed;
    }
  }
  RemoveFile(path);
  return Disposal::DeletedForGood;
}

}  // namespace varo
