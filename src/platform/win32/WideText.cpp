#include "platform/win32/WideText.h"

#include <limits>
#include <system_error>

#include "platform/win32/Windows.h"

namespace varo::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    ThrowError(ERROR_FILENAME_EXCED_RANGE, "text too long to convert");
  }
  const int size = static_cast<int>(utf8.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) ThrowLastError("not UTF-8: " + std::string(utf8));
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) ThrowLastError("cannot convert a name to UTF-8");
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

bool RoundTripsThroughUtf8(std::wstring_view utf16) {
  try {
    return Widen(Narrow(utf16)) == utf16;
  } catch (const std::system_error&) {  // a converter that kept the surrogate's bits
    return false;
  }
}

void ThrowError(unsigned long error, const std::string& what) {
  throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

void ThrowLastError(const std::string& what) {
  ThrowError(GetLastError(), what);
}

}  // namespace varo::win32
