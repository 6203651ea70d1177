// Windows: what became of a file the shell's file operation was asked to recycle, told from the
// shell's own report of the item and from what is left on the disk; apart from the asking, so that
// the real Recycle Bin's reports can be checked where the shell's file operation is missing.
#pragma once

#include <optional>
#include <string>

#include "platform/Trash.h"
#include "platform/win32/Windows.h"

// After windows.h, on which it builds.
#include <shobjidl.h>

namespace varo::win32 {

// What the shell told of the one item it was asked to delete.
struct DeleteReport {
  bool Reached = false;           // it began on the item
  HRESULT Result = S_OK;          // the deletion's own result, once told
  bool MadeInRecycleBin = false;  // it handed back the item it made in the Recycle Bin
};

// The progress sink of one deletion: keeps what the shell tells of the item and lets every step
// go on. Made with new, it goes with its last Release.
class DeletionSink final : public IFileOperationProgressSink {
 public:
  // What the shell has told so far.
  const DeleteReport& Report() const { return report_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem* item) override;
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD flags, IShellItem* item, HRESULT deleted,
                                           IShellItem* newlyCreated) override;

  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT,
                                           IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                                        IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }

 private:
  ~DeletionSink() = default;

  LONG references_ = 1;
  DeleteReport report_;
};

// Where a file the shell's file operation was asked to recycle went, from PerformOperations'
// result, the sink's report and whether the file is gone: in the Recycle Bin only where the shell
// handed back the item it made there. Nothing where the shell never reached the file and it is
// still there, so another way may be tried; throws std::system_error where the shell reached it
// and it is still there.
std::optional<Disposal> FileOperationDisposal(HRESULT performed, const DeleteReport& report,
                                              bool gone, const std::string& path);

}  // namespace varo::win32
