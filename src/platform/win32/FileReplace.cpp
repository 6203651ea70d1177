#include "platform/FileReplace.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <system_error>

#include "platform/Paths.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace varo {

using win32::LongPathOf;
using win32::Narrow;
using win32::ThrowError;
using win32::ThrowLastError;

namespace {

// Attributes a rewritten file keeps. Read-only is not among them: such a file is never rewritten.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Closes now and reports the result, since a delayed write error may only show here.
  bool Close() {
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The folder part of a path with its final separator, "" when it has none.
std::string FolderPrefixOf(const std::string& path) {
  return path.substr(0, path.size() - FileNameOf(path).size());
}

std::string TemporaryPrefixOf(const std::string& target) {
  return "." + std::string(FileNameOf(target)) + ".";
}

// A name for the temporary file beside target that no other writer of this process picks.
std::string TemporaryNameFor(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return FolderPrefixOf(target) + TemporaryPrefixOf(target) +
         std::to_string(GetCurrentProcessId()) + "." + std::to_string(counter.fetch_add(1)) +
         ".tmp";
}

bool ProcessHasEnded(DWORD id) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

// Removes temporary files of target that a writer killed before its rename left behind: those
// whose process has ended. A live writer's file is left alone.
void RemoveAbandonedTemporaries(const std::string& target) {
  const std::string folder = FolderPrefixOf(target);
  const std::string prefix = TemporaryPrefixOf(target);
  const std::string suffix = ".tmp";
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileExW(LongPathOf(folder + "*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::string name = Narrow(entry.cFileName);
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) continue;
    // The writer's process id follows the prefix: ".<name>.<pid>.<n>.tmp".
    const char* first = name.data() + prefix.size();
    const char* end = name.data() + name.size() - suffix.size();
    DWORD writer = 0;
    const auto parsed = std::from_chars(first, end, writer);
    if (parsed.ec != std::errc() || parsed.ptr == end || *parsed.ptr != '.' || writer == 0) {
      continue;
    }
    if (writer != GetCurrentProcessId() && ProcessHasEnded(writer)) {
      DeleteFileW(LongPathOf(folder + name).c_str());
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

void WriteAll(HANDLE file, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
      ThrowLastError("cannot write " + path);
    }
    done += written;
  }
}

// The path without the "\\?\" form the system gives final paths in.
std::string WithoutLocalDevicePrefix(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + Narrow(path.substr(8));
  if (path.starts_with(L"\\\\?\\")) return Narrow(path.substr(4));
  return Narrow(path);
}

}  // namespace

std::string_view NewFileLineEnd() {
  return "\r\n";
}

std::string_view NewTextFileStart() {
  return "\xEF\xBB\xBF";
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit,
                                         LinkInPlace link) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it names, which the
  // attributes of the open handle then tell.
  const DWORD noLink = link == LinkInPlace::Refused ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
  Handle file(CreateFileW(LongPathOf(path).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | noLink, nullptr));
  if (!file.IsOpen()) {
    const DWORD error = GetLastError();
    if (IsNotFound(error)) return std::nullopt;
    ThrowError(error, "cannot open " + path);
  }
  // A pipe or a device in its place would hold the reader or never end.
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
    ThrowError(ERROR_INVALID_PARAMETER, path + " is not a regular file");
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (link == LinkInPlace::Refused &&
      (!GetFileInformationByHandle(file.Get(), &information) ||
       (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    ThrowError(ERROR_CANT_ACCESS_FILE, path + " is a link");
  }
  std::string bytes;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
      ThrowLastError("cannot read " + path);
    }
    if (got == 0) break;
    // Counted as it is read: the file may grow while it is.
    if (got > limit - bytes.size()) {
      ThrowError(ERROR_FILE_TOO_LARGE, path + " holds more than " + std::to_string(limit) + " bytes");
    }
    bytes.append(buffer, got);
  }
  return bytes;
}

std::string WriteTargetOf(const std::string& path) {
  const std::wstring wide = LongPathOf(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  // A link: the system follows it on opening, and names the file it reached.
  Handle reached(CreateFileW(wide.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!reached.IsOpen()) {
    const DWORD error = GetLastError();
    if (IsNotFound(error)) return path;  // a link to nothing is replaced itself
    ThrowError(error, "cannot follow the link " + path);
  }
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(reached.Get(), final.data(), static_cast<DWORD>(final.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) ThrowLastError("cannot follow the link " + path);
    if (length < final.size()) {
      final.resize(length);
      return WithoutLocalDevicePrefix(final);
    }
    final.resize(length);
  }
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::string target = WriteTargetOf(path);
  const std::wstring wideTarget = LongPathOf(target);
  // The rename would go around the file's read-only attribute and its access list, so ask the
  // system whether this process may write the file, as it is now, by opening it for writing
  // without truncating it. The attributes to keep are taken from that same open file. A file that
  // does not exist yet may be created.
  DWORD oldAttributes = 0;
  {
    Handle existing(CreateFileW(wideTarget.c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing.IsOpen()) {
      BY_HANDLE_FILE_INFORMATION info{};
      if (!GetFileInformationByHandle(existing.Get(), &info)) {
        ThrowLastError("cannot examine " + target);
      }
      oldAttributes = info.dwFileAttributes;
      // Refused by the open already, except for a process the system lets past it.
      if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ThrowError(ERROR_ACCESS_DENIED, "cannot write the read-only " + target);
      }
    } else if (const DWORD error = GetLastError(); !IsNotFound(error)) {
      ThrowError(error, "cannot write " + target);
    }
  }

  const std::string temporary = TemporaryNameFor(target);
  const std::wstring wideTemporary = LongPathOf(temporary);
  Handle file(CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) ThrowLastError("cannot create " + temporary);
  try {
    WriteAll(file.Get(), bytes, temporary);
    if (!FlushFileBuffers(file.Get())) ThrowLastError("cannot flush " + temporary);
    if (!file.Close()) ThrowLastError("cannot close " + temporary);
    if ((oldAttributes & KeptAttributes) != 0 &&
        !SetFileAttributesW(wideTemporary.c_str(), oldAttributes & KeptAttributes)) {
      ThrowLastError("cannot set the attributes of " + temporary);
    }
    if (!MoveFileExW(wideTemporary.c_str(), wideTarget.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowLastError("cannot replace " + target);
    }
  } catch (...) {
    if (file.IsOpen()) file.Close();
    DeleteFileW(wideTemporary.c_str());
    throw;
  }
  RemoveAbandonedTemporaries(target);
}

}  // namespace varo
