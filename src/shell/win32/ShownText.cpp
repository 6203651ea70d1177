#include "shell/win32/ShownText.h"

#include <climits>

#include "platform/win32/Windows.h"

namespace varo {

std::wstring ShownText(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  UINT codePage = CP_UTF8;
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  DWORD flags = MB_ERR_INVALID_CHARS;
  if (length <= 0) {
    codePage = CP_ACP;
    flags = 0;
    length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  }
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace varo
