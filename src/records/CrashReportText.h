// What a crash report says beyond the time: the exception that reached std::terminate and the
// crashing thread's stack, built without allocating while the process crashes.
#pragma once

#include <cstdint>
#include <string_view>

#include "records/FixedText.h"

namespace varo {

// What the exception being handled says, for a report of std::terminate; nullptr when there is
// none. Called only from the terminate handler.
const char* CurrentExceptionText();

// Appends one line of a stack: "#3 0x00007f0011223344 libc.so.6+0x29d90"; without a module, the
// address alone.
void AddStackLine(FixedText& text, int index, std::uint64_t address, std::string_view module,
                  std::uint64_t offset);

// The file in the report folder through which a crash tells the next start where its report is.
inline constexpr const char* CrashNoticeFileName = "ultimo-crash";

}  // namespace varo
