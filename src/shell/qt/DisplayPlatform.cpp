#include "shell/qt/DisplayPlatform.h"

#include <cstdlib>
#include <string>

namespace varo {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

void ChooseDisplayPlatform() {
  if (IsSet("QT_QPA_PLATFORM")) return;
  std::string platforms;
  if (IsSet("WAYLAND_DISPLAY")) platforms += "wayland;";
  if (IsSet("DISPLAY")) platforms += "xcb;";
  platforms += "offscreen";
  ::setenv("QT_QPA_PLATFORM", platforms.c_str(), 1);
}

}  // namespace varo
