// How a later start reaches the running instance's main window: found by its class, and asked by
// a message registered under a name of its own.
#pragma once

#include "platform/win32/Windows.h"

namespace varo {

// The class of the main window, by which later starts find it even while it is hidden.
inline constexpr wchar_t MainWindowClass[] = L"QuillmarchVaroServerMain";

// The message that asks the main window to show itself; 0 when none could be registered.
UINT ShowWindowMessage();

// Asks the running instance's main window to show itself, letting its process take the
// foreground first; false when no such window was found or the message could not be posted.
bool AskRunningInstanceToShow();

}  // namespace varo
