#include "platform/FileAccess.h"

#include <algorithm>
#include <limits>

#include "platform/Paths.h"
#include "platform/win32/FolderScan.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/NativeFiles.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"
#include "platform/win32/ZoneOffset.h"

namespace varo {

using win32::FileTimeOfTicks;
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

// What an open entry must not be to count as a regular file: a folder, a link or junction opened
// as itself, a device.
constexpr DWORD NotRegular =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::int64_t TicksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

std::time_t SecondsOfTicks(std::int64_t ticks) {
  return static_cast<std::time_t>(FileTimeOfTicks(ticks).Seconds);
}

HANDLE HandleOf(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

win32::HandleFacts FactsOf(HANDLE handle, const std::string& path) {
  win32::HandleFacts facts{};
  if (const DWORD error = win32::FactsOf(handle, facts); error != 0) {
    ThrowError(error, "cannot examine " + path);
  }
  return facts;
}

// Volume serial number and file index name the file; the change time moves with every write,
// attribute change and rename, and no copying tool sets it back.
FileIdentity IdentityOf(const win32::HandleFacts& facts, std::uint64_t device) {
  return FileIdentity{device, facts.FileNumber, facts.Size, FileTimeOfTicks(facts.LastWriteTicks),
                      FileTimeOfTicks(facts.ChangeTicks)};
}

// The identity of an open file: two queries of its handle, where GetFileInformationByHandle and
// FileBasicInfo made four.
FileIdentity IdentityOf(HANDLE handle, const std::string& path) {
  return IdentityOf(FactsOf(handle, path), win32::VolumeSerialOf(handle));
}

// Opens a file by its path, shared for every access, a link or junction as itself.
HANDLE OpenByPath(const std::string& path) {
  const HANDLE handle = CreateFileW(LongPathOf(path).c_str(), GENERIC_READ, ShareAll, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError("cannot open " + path);
  return handle;
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
  Take(reinterpret_cast<std::intptr_t>(OpenByPath(path)));
}

ReadOnlyFile::ReadOnlyFile(const OpenFolder& folder, const std::string& name)
    : native_(0), path_(JoinPath(folder.Path(), name)), opened_{} {
  if (folder.native_ == -1) {
    Take(reinterpret_cast<std::intptr_t>(OpenByPath(path_)));
    return;
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
  // The same access and sharing as by path, the name looked up in the held folder alone.
  const DWORD error = win32::OpenInFolder(HandleOf(folder.native_), win32::Widen(name),
                                          GENERIC_READ, true, handle);
  if (error != 0) ThrowError(error, "cannot open " + path_);
  // No link followed: the file lies on the folder's volume, whose number the folder asks once.
  Take(reinterpret_cast<std::intptr_t>(handle), &folder.device_);
}

void ReadOnlyFile::Take(std::intptr_t native, std::optional<std::uint64_t>* device) {
  const HANDLE handle = HandleOf(native);
  try {
    // A device or pipe named by path: only a file of a file system is read.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
      ThrowError(ERROR_BAD_FILE_TYPE, "not a regular file: " + path_);
    }
    const win32::HandleFacts facts = FactsOf(handle, path_);
    if ((facts.Attributes & NotRegular) != 0) {
      ThrowError(ERROR_BAD_FILE_TYPE, "not a regular file: " + path_);
    }
    std::optional<std::uint64_t> asked;
    if (device == nullptr) device = &asked;
    if (!*device) *device = win32::VolumeSerialOf(handle);
    opened_ = IdentityOf(facts, **device);
  } catch (...) {
    CloseHandle(handle);
    throw;
  }
  native_ = native;
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
  return SecondsOfTicks(FactsOf(HandleOf(native_), path_).LastWriteTicks);
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

OpenFolder::OpenFolder(const std::string& folder) : path_(folder) {
  try {
    // Held for one request, sharing every access: while open it stops the folder's parents from
    // being renamed or moved, which real Windows enforces and Wine does not show. Traverse is
    // what opening its entries relative to it asks of the handle; the volume's questions ask
    // attributes. Backup semantics is what lets CreateFileW open a folder at all.
    const HANDLE handle =
        CreateFileW(LongPathOf(folder).c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    native_ = reinterpret_cast<std::intptr_t>(handle);  // INVALID_HANDLE_VALUE is -1: none
  } catch (const std::exception&) {
    native_ = -1;  // a path that cannot be spelt holds nothing, and its entries open by path
  }
}

OpenFolder::~OpenFolder() {
  if (native_ != -1) CloseHandle(HandleOf(native_));
}

std::optional<FileIdentity> OpenFolder::RegularFileIdentityOf(const std::string& name) const {
  if (native_ == -1) return std::nullopt;
  HANDLE handle = INVALID_HANDLE_VALUE;
  try {
    // Attributes alone: on Windows an open that asks no data is not scanned by antivirus filters
    // and breaks no other program's oplock, which Wine cannot show.
    if (win32::OpenInFolder(HandleOf(native_), win32::Widen(name), FILE_READ_ATTRIBUTES, false,
                            handle) != 0) {
      return std::nullopt;
    }
  } catch (const std::exception&) {
    return std::nullopt;  // a name UTF-8 cannot carry names nothing here
  }
  win32::HandleFacts facts{};
  const bool examined = win32::FactsOf(handle, facts) == 0;
  CloseHandle(handle);
  if (!examined || (facts.Attributes & NotRegular) != 0) return std::nullopt;
  // An entry opened relative to the folder, no link followed, lies on the folder's volume: asked
  // once a page, not once an entry.
  if (!device_) device_ = win32::VolumeSerialOf(HandleOf(native_));
  return IdentityOf(facts, *device_);
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
