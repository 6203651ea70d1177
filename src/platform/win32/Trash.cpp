// Windows: the Recycle Bin, through the shell with no user interface. The shell destroys what its
// bin cannot take (a network share, a USB stick, a file over the bin's quota, a drive set to delete
// at once) and still reports success, so a file counts as trashed only where the shell shows the
// item it made in the bin, or at the least the bin grew. A name the shell would read as another
// file, and a path too long for it, are deleted for good without it.
#include "platform/Trash.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileAccess.h"
#include "platform/win32/ComRef.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/ShellDeletion.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>

namespace varo {

namespace win32 {

HRESULT DeletionSink::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, __uuidof(IUnknown)) ||
      IsEqualIID(iid, __uuidof(IFileOperationProgressSink))) {
    *object = static_cast<IFileOperationProgressSink*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DeletionSink::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG DeletionSink::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT DeletionSink::PreDeleteItem(DWORD /*flags*/, IShellItem* /*item*/) {
  report_.Reached = true;
  return S_OK;
}

HRESULT DeletionSink::PostDeleteItem(DWORD /*flags*/, IShellItem* /*item*/, HRESULT deleted,
                                     IShellItem* newlyCreated) {
  // The documentation: newlyCreated is the item now in the Recycle Bin, null where the item was
  // deleted for good.
  report_.Reached = true;
  report_.Result = deleted;
  report_.MadeInRecycleBin = SUCCEEDED(deleted) && newlyCreated != nullptr;
  return S_OK;
}

namespace {

// The system's error code for a failure the shell reported as an HRESULT.
unsigned long ErrorCodeOf(HRESULT result) {
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
  return static_cast<unsigned long>(result);
}

}  // namespace

std::optional<Disposal> FileOperationDisposal(HRESULT performed, const DeleteReport& report,
                                              bool gone, const std::string& path) {
  if (gone) return report.MadeInRecycleBin ? Disposal::Trashed : Disposal::DeletedForGood;
  if (!report.Reached) return std::nullopt;
  // With no user interface an error counts as "skip": the operation may succeed all the same.
  const HRESULT failure = FAILED(report.Result) ? report.Result
                          : FAILED(performed)   ? performed
                                                : E_ABORT;
  ThrowError(ErrorCodeOf(failure), "cannot delete " + path);
}

}  // namespace win32

namespace {

// Whether nothing is left at the path (the file or its folder is gone).
bool Gone(const std::string& path) {
  if (GetFileAttributesW(win32::LongPathOf(path).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes through IFileOperation, whose progress sink names the item made in the Recycle Bin.
// Nothing where it cannot be used: outside a single-threaded apartment, which its documentation
// requires, or where any step before the deletion itself fails (under Wine 8 every method answers
// E_NOTIMPL).
std::optional<Disposal> DeleteThroughFileOperation(const std::wstring& shellPath,
                                                   const std::string& path) {
  APTTYPE apartment = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  if (FAILED(CoGetApartmentType(&apartment, &qualifier)) ||
      (apartment != APTTYPE_STA && apartment != APTTYPE_MAINSTA)) {
    return std::nullopt;
  }
  win32::ComRef<IFileOperation> operation;
  if (FAILED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, __uuidof(IFileOperation),
                              operation.OutAsVoid()))) {
    return std::nullopt;
  }
  // Since Windows 8 FOFX_RECYCLEONDELETE sends a deleted file to the Recycle Bin; FOF_ALLOWUNDO
  // would also put the deletion on the user's undo stack, as if the user had made it. FOF_NO_UI
  // asks nobody: what the bin cannot take is deleted for good, and the sink tells so.
  if (FAILED(operation->SetOperationFlags(FOFX_RECYCLEONDELETE | FOF_NO_UI))) return std::nullopt;
  win32::ComRef<IShellItem> item;
  if (FAILED(SHCreateItemFromParsingName(shellPath.c_str(), nullptr, __uuidof(IShellItem),
                                         item.OutAsVoid()))) {
    return std::nullopt;
  }
  const win32::ComRef<win32::DeletionSink> sink(new win32::DeletionSink);
  DWORD cookie = 0;
  if (FAILED(operation->Advise(sink.Get(), &cookie))) return std::nullopt;
  HRESULT performed = operation->DeleteItem(item.Get(), nullptr);
  if (SUCCEEDED(performed)) performed = operation->PerformOperations();
  operation->Unadvise(cookie);
  return win32::FileOperationDisposal(performed, sink->Report(), Gone(path), path);
}

// The items in the Recycle Bin of the volume that holds the path, or nothing where it has none
// that can be asked (under Wine: an XDG trash whose folders cannot be made).
std::optional<std::int64_t> ItemsInRecycleBin(const std::wstring& shellPath) {
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(shellPath.c_str(), root, MAX_PATH + 1)) return std::nullopt;
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof(bin);
  if (FAILED(SHQueryRecycleBinW(root, &bin))) return std::nullopt;
  return bin.i64NumItems;
}

// Deletes through SHFileOperationW, which says success also where it destroyed the file: trashed
// only where the bin of the file's volume holds more items after than before. Another deletion into
// that bin at the same moment could raise the count for a file destroyed here; one emptying it
// could hide a file recycled here, which is then told as deleted for good.
Disposal DeleteCountingTheBin(const std::wstring& shellPath, const std::string& path) {
  const std::optional<std::int64_t> before = ItemsInRecycleBin(shellPath);
  std::wstring from = shellPath;
  from.push_back(L'\0');  // the list of names ends with an empty one
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  // A fully qualified path, or FOF_ALLOWUNDO (the Recycle Bin) is ignored.
  operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI;
  SHFileOperationW(&operation);
  if (!Gone(path)) {
    // No bin took it and it is still there: deleted for good by its exact name, as where no bin
    // can take a file; a file that cannot be deleted so either is told by that failure.
    RemoveFile(path);
    return Disposal::DeletedForGood;
  }
  const std::optional<std::int64_t> after = ItemsInRecycleBin(shellPath);
  return before && after && *after > *before ? Disposal::Trashed : Disposal::DeletedForGood;
}

}  // namespace

Disposal MoveToTrash(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::LongPathOf(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RemoveFile(path);  // gone already counts as deleted; anything else is told by its failure
    return Disposal::DeletedForGood;
  }
  // A read-only system stays, as a plain deletion would leave it: the attribute is never cleared
  // (the shell would recycle it after a confirmation that FOF_NO_UI answers yes).
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    win32::ThrowError(ERROR_ACCESS_DENIED, "cannot delete " + path);
  }
  // The shell once recycled "Ruota.tcl.5" when asked for "Ruota.tcl.5.": a name it reads as
  // another file, or a path too long for it, is deleted for good by its exact name instead.
  const std::optional<std::wstring> shellPath = win32::ShellPathOf(path);
  if (!shellPath) {
    RemoveFile(path);
    return Disposal::DeletedForGood;
  }
  if (const auto disposal = DeleteThroughFileOperation(*shellPath, path)) return *disposal;
  return DeleteCountingTheBin(*shellPath, path);
}

}  // namespace varo
