// The choice of Qt's display platform before the application object exists.
#pragma once

namespace varo {

// Unless QT_QPA_PLATFORM is set: offscreen without DISPLAY and WAYLAND_DISPLAY, else the
// display's platform with offscreen as the fallback when it cannot be reached.
void ChooseDisplayPlatform();

}  // namespace varo
