// Text for the screen: UTF-8 as the program keeps it, or, when it is not UTF-8 (a message of the
// C runtime or of the system), the ANSI code page that such messages come in. Never throws for
// the bytes, so showing a text cannot fail on them.
#pragma once

#include <string>
#include <string_view>

namespace varo {

// The UTF-16 text a control or message box shows for text.
std::wstring ShownText(std::string_view text);

}  // namespace varo
