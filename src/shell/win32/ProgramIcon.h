// The program's icons, each loaded at the size its place asks for from the image drawn for that
// size, and owned: a shared icon (LR_SHARED) comes at whatever size was loaded first.
#pragma once

#include "platform/win32/Windows.h"

namespace varo {

// Which look of the program's icon: its own, or with a warning mark while a problem lasts.
enum class IconLook { Normal, Warning };

// An icon destroyed with its holder.
class OwnedIcon {
 public:
  OwnedIcon() = default;
  explicit OwnedIcon(HICON icon) : icon_(icon) {}
  ~OwnedIcon();
  OwnedIcon(OwnedIcon&& other) noexcept : icon_(other.icon_) { other.icon_ = nullptr; }
  // Destroys the icon held so far: whoever showed it must hold the new one by then.
  OwnedIcon& operator=(OwnedIcon&& other) noexcept;
  OwnedIcon(const OwnedIcon&) = delete;
  OwnedIcon& operator=(const OwnedIcon&) = delete;

  HICON Get() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

// The program's icon in look, size pixels square; a copy of the system's application icon when
// the program's own cannot be loaded.
OwnedIcon LoadProgramIcon(IconLook look, int size);

}  // namespace varo
