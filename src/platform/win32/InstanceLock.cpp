#include "platform/InstanceLock.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

std::string InstanceLockPath(const std::string&) {
  // Without a "Global\" or "Local\" prefix the name lives in this logon session: one per user.
  return "Quillmarch Varo server";
}

InstanceLock::InstanceLock(const std::string& lockName, bool /*askToShow*/) {
  std::wstring name;
  try {
    name = win32::Widen(lockName);
  } catch (const std::exception&) {
    return;  // a name no mutex can have: run as the first instance
  }
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    heldElsewhere_ = true;
    CloseHandle(mutex);
    return;
  }
  // Not inherited by child processes, so none keeps the lock alive after this one ends.
  native_ = reinterpret_cast<std::intptr_t>(mutex);
}

InstanceLock::~InstanceLock() {
  Release();
}

void InstanceLock::Release() {
  if (native_ == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(native_));  // the last handle gone, the name is free
  native_ = -1;
}

// A mutex takes no knocks: a later start asks the running instance's window instead.
int InstanceLock::KnockHandle() const {
  return -1;
}

bool InstanceLock::AnswerKnocks() {
  return false;
}

}  // namespace varo
