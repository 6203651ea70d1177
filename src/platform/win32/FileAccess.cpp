#include "platform/FileAccess.h"

#include <algorithm>
#include <limits>

#include "platform/Paths.h"
#include "platform/win32/FolderScan.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "platform/win32/ZoneOffset.h"

namespace varo {

using win32::LongPathOf;
using win32::Narrow;
using win32::RoundTripsThroughUtf8;
using win32::ThrowError;
using win32::ThrowLastError;

namespace {

// Windows stamps file times in 100-nanosecond ticks since 1601-01-01 UTC.
constexpr std::int64_t TicksPerSecond = 10'000'000;
constexpr std::int64_t TicksBeforeUnixEpoch = 116'444'736'000'000'000;

// The largest tick count FileTimeToSystemTime accepts.
constexpr std::int64_t LastTick = std::numeric_limits<std::int64_t>::max();

// Entries the archive never lists: folders, links and junctions, devices, and what the user or the
// system chose to hide.
constexpr DWORD NotListed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                            FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::int64_t TicksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

FileTime FileTimeOfTicks(std::int64_t ticks) {
  const std::int64_t sinceEpoch = ticks - TicksBeforeUnixEpoch;
  std::int64_t seconds = sinceEpoch / TicksPerSecond;
  std::int64_t rest = sinceEpoch % TicksPerSecond;
  if (rest < 0) {  // times before 1970 round down to the second before
    --seconds;
    rest += TicksPerSecond;
  }
  return FileTime{seconds, static_cast<std::uint32_t>(rest * 100)};
}

std::time_t SecondsOfTicks(std::int64_t ticks) {
  return static_cast<std::time_t>(FileTimeOfTicks(ticks).Seconds);
}

HANDLE HandleOf(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

FILE_BASIC_INFO BasicInfoOf(HANDLE handle, const std::string& path) {
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    ThrowLastError("cannot examine " + path);
  }
  return basic;
}

// Volume serial number and file index name the file; the change time moves with every write,
// attribute change and rename, and no copying tool sets it back.
FileIdentity IdentityOf(HANDLE handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) ThrowLastError("cannot examine " + path);
  const FILE_BASIC_INFO basic = BasicInfoOf(handle, path);
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                      FileTimeOfTicks(basic.LastWriteTime.QuadPart),
                      FileTimeOfTicks(basic.ChangeTime.QuadPart)};
}

// Closes a search handle when it goes out of scope.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() { FindClose(handle_); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

FileTime FileClockNow() {
  // The clock that stamps file times, at its finest tick.
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return FileTimeOfTicks(TicksOf(now));
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : native_(0), path_(path), opened_{} {
  // Full sharing: another program may rename or delete a system while it is read. A link or a
  // junction is opened as itself, and refused below, so swapping one in reaches nothing.
  const HANDLE handle =
      CreateFileW(LongPathOf(path).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError("cannot open " + path);
  try {
    if (GetFileType(handle) != FILE_TYPE_DISK) {
      ThrowError(ERROR_BAD_FILE_TYPE, "not a regular file: " + path);
    }
    const FILE_BASIC_INFO basic = BasicInfoOf(handle, path);
    if ((basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      ThrowError(ERROR_BAD_FILE_TYPE, "not a regular file: " + path);
    }
    opened_ = IdentityOf(handle, path);
  } catch (...) {
    CloseHandle(handle);
    throw;
  }
  native_ = reinterpret_cast<std::intptr_t>(handle);
}

ReadOnlyFile::~ReadOnlyFile() {
  CloseHandle(HandleOf(native_));
}

std::size_t ReadOnlyFile::ReadFullyAt(std::uint64_t offset, std::uint8_t* buffer,
                                      std::size_t size) {
  // Each read names its own offset, so two threads may read parts of one file at once.
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(HandleOf(native_), buffer + done, chunk, &got, &where)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      ThrowError(error, "cannot read " + path_);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::time_t ReadOnlyFile::ModificationTime() const {
  return SecondsOfTicks(BasicInfoOf(HandleOf(native_), path_).LastWriteTime.QuadPart);
}

std::uint64_t ReadOnlyFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(HandleOf(native_), &size)) ThrowLastError("cannot examine " + path_);
  return static_cast<std::uint64_t>(size.QuadPart);
}

FileIdentity ReadOnlyFile::Identity() const {
  return IdentityOf(HandleOf(native_), path_);
}

std::vector<std::string> win32::RegularFileNames(const std::string& folder) {
  // Every entry, matched by the program's own mask later: the system's wildcards would also
  // match the short 8.3 names.
  WIN32_FIND_DATAW entry{};
  const HANDLE first =
      FindFirstFileExW(LongPathOf(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &entry,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};  // a folder without entries, not even "."
    ThrowError(error, "cannot list " + folder);
  }
  FindHandle search(first);
  std::vector<std::string> names;
  do {
    // A name UTF-8 cannot spell could be neither opened nor deleted by the name listed.
    if ((entry.dwFileAttributes & NotListed) == 0 && RoundTripsThroughUtf8(entry.cFileName)) {
      names.push_back(Narrow(entry.cFileName));
    }
  } while (FindNextFileW(search.Get(), &entry));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) ThrowError(error, "cannot list " + folder);
  return names;
}

void RemoveFile(const std::string& path) {
  if (DeleteFileW(LongPathOf(path).c_str())) return;
  const DWORD error = GetLastError();
  // Gone already, or its folder is: either way nothing is left to delete.
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  ThrowError(error, "cannot delete " + path);
}

OpenFolder::OpenFolder(const std::string& /*folder*/) {}

OpenFolder::~OpenFolder() = default;

std::optional<FileIdentity> OpenFolder::RegularFileIdentityOf(const std::string& /*name*/) const {
  return std::nullopt;
}

std::time_t ModificationTimeOf(const std::string& path) {
  // Reads the entry itself; a link is not followed.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(LongPathOf(path).c_str(), GetFileExInfoStandard, &data)) {
    ThrowLastError("cannot examine " + path);
  }
  return SecondsOfTicks(TicksOf(data.ftLastWriteTime));
}

CalendarTime LocalDateOf(std::time_t time) {
  const std::int64_t seconds = time;
  constexpr std::int64_t FirstSecond = -TicksBeforeUnixEpoch / TicksPerSecond;
  constexpr std::int64_t LastSecond = (LastTick - TicksBeforeUnixEpoch) / TicksPerSecond;
  if (seconds < FirstSecond || seconds > LastSecond) {
    ThrowError(ERROR_INVALID_PARAMETER, "time has no local date");
  }
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(seconds * TicksPerSecond + TicksBeforeUnixEpoch);
  const FILETIME utcTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  // The local time of that date: its own daylight-saving rule applies, not today's offset.
  if (!FileTimeToSystemTime(&utcTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    ThrowLastError("time has no local date");
  }
  FILETIME localTime{};
  SystemTimeToFileTime(&local, &localTime);
  const int offset =
      win32::ZoneOffsetMinutes(TicksOf(localTime), static_cast<std::int64_t>(ticks));
  return CalendarTime{local.wYear,   local.wMonth,  local.wDay, local.wHour,
                      local.wMinute, local.wSecond, offset};
}

}  // namespace varo
