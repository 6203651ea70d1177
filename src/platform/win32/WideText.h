// Windows: names stay UTF-8 inside the program and become UTF-16 only at the wide-character calls,
// so a file whose name the user's ANSI code page cannot spell is still read and deleted.
#pragma once

#include <string>
#include <string_view>

namespace varo::win32 {

// UTF-8 to UTF-16; throws std::system_error for a text that is not valid UTF-8, which no name
// from the file system is.
std::wstring Widen(std::string_view utf8);

// UTF-16 to UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string Narrow(std::wstring_view utf16);

// Whether a UTF-16 text comes back unchanged from UTF-8: false for an unpaired surrogate, which a
// file name may hold but UTF-8 cannot.
bool RoundTripsThroughUtf8(std::wstring_view utf16);

// Throws std::system_error with the Windows error code and what failed.
[[noreturn]] void ThrowError(unsigned long error, const std::string& what);

// The same with the calling thread's last error.
[[noreturn]] void ThrowLastError(const std::string& what);

}  // namespace varo::win32
