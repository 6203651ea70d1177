// Windows: the class of the desktop program's main window, which registers it, and by which a later
// start's guard finds that window, even hidden, to ask it to show itself (InstanceLock).
#pragma once

namespace varo::win32 {

inline constexpr wchar_t MainWindowClass[] = L"QuillmarchVaroServerMain";

}  // namespace varo::win32
