// Windows: the firewall names a program by the path its rule was given, which may differ from the
// running program's in letter case (the file system ignores it) or use 8.3 short names
// (C:\Users\NICCOL~1\...), as a path typed in a console or kept by an old installer may.
#include "platform/ProgramPaths.h"

#include <climits>
#include <stdexcept>
#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

namespace {

// path with each short name of a folder or file that exists replaced by its long name; path
// itself where that cannot be had (a part missing or unreadable: a rule for a program removed).
std::wstring LongForm(const std::wstring& path) {
  // GetLongPathNameW looks up every part of the path in its folder, so on a network drive it can
  // take long: this runs on the firewall's own thread, never the main one.
  DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
  for (int attempt = 0; attempt < 2 && size != 0; ++attempt) {
    std::wstring longPath(size, L'\0');
    const DWORD written = GetLongPathNameW(path.c_str(), longPath.data(), size);
    if (written == 0) break;
    if (written < size) {
      longPath.resize(written);
      return longPath;
    }
    size = written;  // a folder renamed in between made it longer: asked once more
  }
  return path;
}

// Whether a and b are the same text but for letter case, folded as the file system folds names:
// by the system's own upper-case table, one UTF-16 unit at a time, whatever the user's language.
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool SameProgramPath(const std::string& a, const std::string& b) {
  std::wstring wideA;
  std::wstring wideB;
  try {
    wideA = win32::Widen(a);
    wideB = win32::Widen(b);
  } catch (const std::exception&) {
    return a == b;  // not UTF-8: no file's path, compared as it is
  }
  // Equal once folded, they name one file whatever their long forms; only otherwise is the file
  // system asked.
  return EqualIgnoringCase(wideA, wideB) || EqualIgnoringCase(LongForm(wideA), LongForm(wideB));
}

}  // namespace varo
