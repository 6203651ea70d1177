#include "platform/win32/LongPath.h"

#include <string_view>

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo::win32 {

namespace {

constexpr std::wstring_view LocalPrefix = L"\\\\?\\";
constexpr std::wstring_view SharePrefix = L"\\\\?\\UNC\\";

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// The absolute, normalised form of a path, as the system would resolve it now.
std::wstring FullPathOf(const std::wstring& path, const std::string& shown) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) ThrowLastError("cannot resolve " + shown);
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size needed, its terminating zero included
  }
}

}  // namespace

std::wstring LongPathOf(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.starts_with(LocalPrefix)) return wide;

  // Only the folder goes through the system's normalising: it would also take a final "." or " "
  // off the name, and turn a name such as "NUL.tcl.1" into a device.
  std::size_t nameStart = wide.size();
  while (nameStart > 0 && !IsSeparator(wide[nameStart - 1])) --nameStart;
  if (nameStart == 0 && wide.size() >= 2 && wide[1] == L':') nameStart = 2;  // "C:name"
  std::wstring folder = wide.substr(0, nameStart);
  std::wstring name = wide.substr(nameStart);
  if (name == L"." || name == L"..") {  // a folder's own parts, which the prefix would keep
    folder = wide;
    name.clear();
  }
  std::wstring full = FullPathOf(folder.empty() ? std::wstring(L".") : folder, path);
  if (!name.empty()) {
    if (!IsSeparator(full.back())) full += L'\\';
    full += name;
  }

  if (full.starts_with(LocalPrefix) || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return std::wstring(SharePrefix) + full.substr(2);
  return std::wstring(LocalPrefix) + full;
}

}  // namespace varo::win32
