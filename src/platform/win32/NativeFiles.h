// Windows: the native calls behind opening a file relative to a held folder and asking an open
// handle, in one call each, what the archive needs of it: the same answers the Win32 calls give,
// without the path each Win32 call walks or the several queries each makes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileAccess.h"
#include "platform/win32/Windows.h"

namespace varo::win32 {

// What one query of an open file tells.
struct HandleFacts {
  DWORD Attributes;
  std::uint64_t Size;
  std::int64_t LastWriteTicks;  // 100-nanosecond ticks since 1601, as Windows stamps them
  std::int64_t ChangeTicks;
  std::uint64_t FileNumber;  // the 64-bit index on its volume
};

// Opens the entry name of folder relative to the folder's handle, never following a reparse point
// and never opening a folder, shared for reading, writing and deleting; access is what the
// handle may do, sequential whether it will be read front to back. Returns the Win32 error, 0 when
// open.
DWORD OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, bool sequential,
                   HANDLE& file);

// A time Windows stamped, in 100-nanosecond ticks since 1601-01-01 UTC, on the file clock.
FileTime FileTimeOfTicks(std::int64_t ticks);

// Attributes, size, times and file number of an open file, in one query; returns the Win32 error,
// 0 when facts holds them.
DWORD FactsOf(HANDLE handle, HandleFacts& facts);

// The serial number of the volume an open file lies on, as GetFileInformationByHandle reports it;
// 0 where the volume tells none.
std::uint64_t VolumeSerialOf(HANDLE handle);

// Whether the device of an open file's volume is a remote one, as a share's is; false when it
// cannot be asked.
bool OnRemoteDevice(HANDLE handle);

// Whether a listed name can be opened relative to its folder as itself: one component, no stream.
bool IsPlainEntryName(const std::wstring& name);

}  // namespace varo::win32
