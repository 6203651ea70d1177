#include "platform/win32/NativeFiles.h"

// After windows.h, on which it builds.
#include <winternl.h>

#include <cstddef>

namespace varo::win32 {

namespace {

// DEVICE_OBJECT's characteristic of a remote file system's volume (wdm.h), and the device type
// of a network redirector's (winioctl.h).
constexpr ULONG RemoteDevice = 0x00000010;
constexpr DEVICE_TYPE NetworkFileSystem = 0x00000014;

// STATUS_BUFFER_OVERFLOW: the answer was cut to the buffer, its fixed part whole.
constexpr NTSTATUS AnswerCut = static_cast<NTSTATUS>(0x80000005L);

// FILE_ALL_INFORMATION and room for the file's name after it; a longer name is cut, which
// leaves every fixed field filled.
constexpr std::size_t AllInformationBytes = sizeof(FILE_ALL_INFORMATION) + 1024 * sizeof(WCHAR);

}  // namespace

DWORD OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, bool sequential,
                   HANDLE& file) {
  file = INVALID_HANDLE_VALUE;
  if (!IsPlainEntryName(name)) return ERROR_INVALID_NAME;
  UNICODE_STRING relative;
  relative.Buffer = const_cast<PWSTR>(name.c_str());
  relative.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  relative.MaximumLength = relative.Length;
  // RootDirectory makes the name relative to the held folder: the kernel looks up one name in
  // that folder instead of walking the whole path from the drive, as every open by path does.
  // The name is the system's own spelling, taken as it is: a final dot or a device's name is not
  // turned into something else, as a plain Win32 path would be. Case-insensitive as CreateFileW.
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &relative, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  // FILE_OPEN_REPARSE_POINT opens a link or junction as itself (refused by the caller), so one
  // swapped into a file's place reaches nothing; FILE_NON_DIRECTORY_FILE refuses a folder.
  // Synchronous, as CreateFileW without FILE_FLAG_OVERLAPPED opens. Sharing every access: another
  // program may rename or delete a system while it is examined.
  const NTSTATUS status = NtCreateFile(
      &opened, access | SYNCHRONIZE, &attributes, &io, nullptr, 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
      FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
          (sequential ? FILE_SEQUENTIAL_ONLY : 0),
      nullptr, 0);
  if (!NT_SUCCESS(status)) return RtlNtStatusToDosError(status);
  file = opened;
  return 0;
}

FileTime FileTimeOfTicks(std::int64_t ticks) {
  constexpr std::int64_t TicksPerSecond = 10'000'000;
  constexpr std::int64_t TicksBeforeUnixEpoch = 116'444'736'000'000'000;
  const std::int64_t sinceEpoch = ticks - TicksBeforeUnixEpoch;
  std::int64_t seconds = sinceEpoch / TicksPerSecond;
  std::int64_t rest = sinceEpoch % TicksPerSecond;
  if (rest < 0) {  // times before 1970 round down to the second before
    --seconds;
    rest += TicksPerSecond;
  }
  return FileTime{seconds, static_cast<std::uint32_t>(rest * 100)};
}

DWORD FactsOf(HANDLE handle, HandleFacts& facts) {
  alignas(LARGE_INTEGER) unsigned char buffer[AllInformationBytes];
  IO_STATUS_BLOCK io{};
  // One query for what GetFileInformationByHandle and FileBasicInfo asked in three: attributes,
  // times, size and the file's index. Asked of the open handle, so no path is walked.
  const NTSTATUS status =
      NtQueryInformationFile(handle, &io, buffer, sizeof buffer, FileAllInformation);
  // A name too long for the buffer is the only shortfall, and it leaves the fixed fields filled.
  if (!NT_SUCCESS(status) && status != AnswerCut) return RtlNtStatusToDosError(status);
  const auto& all = *reinterpret_cast<const FILE_ALL_INFORMATION*>(buffer);
  facts = HandleFacts{all.BasicInformation.FileAttributes,
                      static_cast<std::uint64_t>(all.StandardInformation.EndOfFile.QuadPart),
                      all.BasicInformation.LastWriteTime.QuadPart,
                      all.BasicInformation.ChangeTime.QuadPart,
                      static_cast<std::uint64_t>(all.InternalInformation.IndexNumber.QuadPart)};
  return 0;
}

std::uint64_t VolumeSerialOf(HANDLE handle) {
  alignas(LARGE_INTEGER) unsigned char buffer[sizeof(FILE_FS_VOLUME_INFORMATION) +
                                              MAX_PATH * sizeof(WCHAR)];
  IO_STATUS_BLOCK io{};
  // The number GetFileInformationByHandle reports, asked alone; Wine answers none for its
  // folders of the Linux side, where its GetFileInformationByHandle reports 0.
  const NTSTATUS status =
      NtQueryVolumeInformationFile(handle, &io, buffer, sizeof buffer, FileFsVolumeInformation);
  if (!NT_SUCCESS(status) && status != AnswerCut) return 0;
  return reinterpret_cast<const FILE_FS_VOLUME_INFORMATION*>(buffer)->VolumeSerialNumber;
}

bool OnRemoteDevice(HANDLE handle) {
  FILE_FS_DEVICE_INFORMATION device{};
  IO_STATUS_BLOCK io{};
  // What GetDriveTypeW asks of a drive's root to answer DRIVE_REMOTE, asked of the file's own
  // handle: no path is walked and no root opened (GetVolumePathNameW queried every folder of the
  // path, and each query passes the file-system filters as an open does).
  if (!NT_SUCCESS(NtQueryVolumeInformationFile(handle, &io, &device, sizeof device,
                                               FileFsDeviceInformation))) {
    return false;
  }
  return (device.Characteristics & RemoteDevice) != 0 ||
         device.DeviceType == NetworkFileSystem;
}

bool IsPlainEntryName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring::npos && name.find(L'\0') == std::wstring::npos;
}

}  // namespace varo::win32
