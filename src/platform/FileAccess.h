// The few file operations the archive needs, kept here so another platform replaces only this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/VolumeKind.h"
#include "records/CalendarTime.h"

namespace varo {

// A moment on the clock the file system stamps its times with, at its full resolution.
struct FileTime {
  std::int64_t Seconds;       // since the epoch
  std::uint32_t Nanoseconds;  // 0 to 999,999,999
  auto operator<=>(const FileTime&) const = default;
};

// What tells one state of a file from another: which file it is, its size and its time stamps.
// Writing, truncating, renaming or changing the permissions of a file changes its change time;
// unlike the modification time, no copying tool can set it back.
struct FileIdentity {
  std::uint64_t Device;
  std::uint64_t FileNumber;
  std::uint64_t Size;
  FileTime Modified;
  FileTime Changed;
  bool operator==(const FileIdentity&) const = default;
};

// Now, on the clock of the file time stamps.
FileTime FileClockNow();

// An open file, read-only, closed when the handle goes.
class ReadOnlyFile {
 public:
  // Opens a regular file for reading without following a symbolic link; throws std::system_error
  // when it cannot be opened or is not a regular file once open.
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Reads at offset until size bytes or the end, leaving the position alone; returns the bytes
  // read.
  std::size_t ReadFullyAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size);

  // Last modification time of the open file, in seconds since the epoch.
  std::time_t ModificationTime() const;

  // Length of the open file in bytes at this moment.
  std::uint64_t Size() const;

  // The identity of the open file at this moment; throws std::system_error.
  FileIdentity Identity() const;

  // Its identity as it was examined right after opening, without asking again.
  const FileIdentity& OpenedIdentity() const { return opened_; }

  // The kind of volume the open file lies on, as far as its time stamps can be trusted.
  VolumeKind Volume() const;

 private:
  std::intptr_t native_;  // the open descriptor on Linux, the open handle on Windows
  std::string path_;
  FileIdentity opened_;
};

// A folder held open, whose entries are examined by name without walking the folder's path again.
class OpenFolder {
 public:
  // Opens folder; one that cannot be opened examines nothing.
  explicit OpenFolder(const std::string& folder);
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  // The identity of the regular file name in the folder, examined with one call, without opening
  // it or following a symbolic link; nothing when it is no regular file or cannot be examined so
  // (on Windows, where only an open handle tells a file's number and change time, always nothing).
  std::optional<FileIdentity> RegularFileIdentityOf(const std::string& name) const;

 private:
  std::intptr_t native_ = -1;  // the folder's descriptor on Linux; none on Windows
};

// Removes a file; a file already gone counts as removed, any other failure throws
// std::system_error.
void RemoveFile(const std::string& path);

// Last modification time of a path, not following a symbolic link; throws std::system_error.
std::time_t ModificationTimeOf(const std::string& path);

// The local calendar date and time of a time, with the offset from UTC in force then; throws
// std::system_error when it has none.
CalendarTime LocalDateOf(std::time_t time);

}  // namespace varo
