#include "shell/win32/ProgramIcon.h"

#include <utility>

#include "shell/win32/ResourceIds.h"

namespace varo {

OwnedIcon::~OwnedIcon() {
  if (icon_ != nullptr) DestroyIcon(icon_);
}

OwnedIcon& OwnedIcon::operator=(OwnedIcon&& other) noexcept {
  if (this != &other) {
    if (icon_ != nullptr) DestroyIcon(icon_);
    icon_ = std::exchange(other.icon_, nullptr);
  }
  return *this;
}

OwnedIcon LoadProgramIcon(IconLook look, int size) {
  const int id = look == IconLook::Warning ? VARO_WARNING_ICON_ID : VARO_ICON_ID;
  // Without LR_SHARED each load is the group's image nearest to size, a handle of its own.
  if (const HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                     size, size, LR_DEFAULTCOLOR)) {
    return OwnedIcon(static_cast<HICON>(icon));
  }
  // The system's own is shared and must never be destroyed: a copy is.
  return OwnedIcon(CopyIcon(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION))));
}

}  // namespace varo
