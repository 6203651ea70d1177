#include "shell/win32/InheritedStreams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/win32/Windows.h"

namespace varo {

namespace {

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// A program of the GUI subsystem may start with its standard handles set but the C runtime's
// stream bound to no descriptor, or to a closed one; the stream then gets a descriptor holding a
// copy of the handle.
void Bind(DWORD which, FILE* stream) {
  const HANDLE handle = GetStdHandle(which);
  if (!Usable(handle)) return;
  int descriptor = _fileno(stream);
  if (descriptor >= 0 && Usable(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)))) return;
  if (descriptor < 0) {
    if (std::freopen("NUL", "w", stream) == nullptr) return;
    descriptor = _fileno(stream);
    if (descriptor < 0) return;
  }
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return;
  }
  const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_TEXT);
  if (opened < 0) {
    CloseHandle(copy);
    return;
  }
  if (opened != descriptor) {
    _dup2(opened, descriptor);
    _close(opened);
  }
  std::clearerr(stream);
}

}  // namespace

void BindInheritedStreams() {
  Bind(STD_OUTPUT_HANDLE, stdout);
  Bind(STD_ERROR_HANDLE, stderr);
}

}  // namespace varo
