// Windows: ShellExecuteW, the shell's file operations and the firewall's COM classes may hand work
// to shell extensions and COM servers, which expect an apartment-threaded caller (IFileOperation
// works in no other). DDE of OLE 1 is left out, as the shell's documentation advises.
#include "platform/ShellApartment.h"

#include "platform/win32/Windows.h"

// After windows.h, on which it builds.
#include <objbase.h>

namespace varo {

ShellApartment::ShellApartment() {
  // S_FALSE, a thread already in this apartment, also counts and must be left too; a thread in
  // the multithreaded apartment (RPC_E_CHANGED_MODE) stays there, and the shell still works
  // (the Recycle Bin then through SHFileOperationW).
  entered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

ShellApartment::~ShellApartment() {
  if (entered_) CoUninitialize();
}

void ShellApartment::DispatchPending() {
  // Messages sent from other threads are delivered within PeekMessageW itself.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace varo
