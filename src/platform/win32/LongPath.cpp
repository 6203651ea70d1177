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

// Where the final name of a path starts: after its last separator, or after the drive of "C:name".
std::size_t NameStartOf(std::wstring_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  if (start == 0 && path.size() >= 2 && path[1] == L':') start = 2;
  return start;
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
  const std::size_t nameStart = NameStartOf(wide);
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

std::optional<std::wstring> ShellPathOf(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.starts_with(LocalPrefix)) return std::nullopt;
  std::wstring full = FullPathOf(wide, path);
  const std::wstring_view name = std::wstring_view(wide).substr(NameStartOf(wide));
  const std::wstring_view read = std::wstring_view(full).substr(NameStartOf(full));
  if (read != name || full.size() >= MAX_PATH) return std::nullopt;
  return full;
}

}  // namespace varo::win32
