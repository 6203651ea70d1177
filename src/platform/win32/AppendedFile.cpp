#include "platform/AppendedFile.h"

#include <filesystem>
#include <system_error>

#include "platform/win32/LongPath.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

using win32::LongPathOf;
using win32::ThrowLastError;

namespace {

// Whether the open file has bytes and its last one is not a line end.
bool EndsInsideALine(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart == 0) return false;
  OVERLAPPED at{};
  const std::uint64_t last = static_cast<std::uint64_t>(size.QuadPart) - 1;
  at.Offset = static_cast<DWORD>(last);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  char byte = '\n';
  DWORD read = 0;
  return ReadFile(file, &byte, 1, &read, &at) && read == 1 && byte != '\n';
}

}  // namespace

void AppendToFile(const std::string& path, std::string_view bytes, std::string_view lineEnd) {
  // Shared for reading, writing and deleting, so a viewer may read the file and it may be renamed
  // while open. A link is opened as itself and refused below; the last byte is read to tell a torn
  // line.
  const HANDLE file = CreateFileW(
      LongPathOf(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowLastError(path);
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
          0) {
    CloseHandle(file);
    win32::ThrowError(ERROR_INVALID_PARAMETER, path + " is not a regular file");
  }
  std::string joined;
  if (!bytes.empty() && EndsInsideALine(file)) {
    joined.reserve(lineEnd.size() + bytes.size());
    joined.append(lineEnd).append(bytes);
    bytes = joined;
  }
  DWORD written = 0;
  const BOOL wrote =
      bytes.empty() ||
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!wrote) win32::ThrowError(error, path);
  if (written != bytes.size()) win32::ThrowError(ERROR_DISK_FULL, path);
}

std::optional<std::uint64_t> SizeOfFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPathOf(path).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    win32::ThrowError(error, path);
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void RenameReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExW(LongPathOf(from).c_str(), LongPathOf(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ThrowLastError(from + " to " + to);
  }
}

void MakeFolders(const std::string& folder) {
  // Through the UTF-16 name: std::filesystem would read a plain string in the ANSI code page.
  const std::filesystem::path path(win32::Widen(folder));
  std::error_code error;
  std::filesystem::create_directories(path, error);
  std::error_code examined;
  if (std::filesystem::is_directory(path, examined)) return;
  if (!error) error = std::make_error_code(std::errc::not_a_directory);
  throw std::system_error(error, folder);
}

}  // namespace varo
