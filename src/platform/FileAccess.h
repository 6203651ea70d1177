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

class OpenFolder;

// An open file, read-only, closed when the handle goes.
class ReadOnlyFile {
 public:
  // Opens a regular file for reading without following a symbolic link; throws std::system_error
  // when it cannot be opened or is not a regular file once open.
  explicit ReadOnlyFile(const std::string& path);
  // Opens the regular file name of a held folder relative to the folder, so no path is walked
  // again, with the same refusals and failures; a folder that could not be held opens it by path.
  ReadOnlyFile(const OpenFolder& folder, const std::string& name);
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
  // Takes the file just opened as native: examines it, and closes it and throws when it is no
  // regular file or cannot be examined. device, when given, is the device of its folder's
  // entries, asked of the file when not known yet (Windows, where the file's own examination
  // does not tell it).
  void Take(std::intptr_t native, std::optional<std::uint64_t>* device = nullptr);

  std::intptr_t native_;  // the open descriptor on Linux, the open handle on Windows
  std::string path_;
  FileIdentity opened_;
};

// A folder held open, whose entries are examined and opened by name without walking the folder's
// path again. Held for one request only, sharing every access: on Windows an open folder stops its
// parents from being renamed or moved.
class OpenFolder {
 public:
  // Opens folder; one that cannot be opened examines nothing.
  explicit OpenFolder(const std::string& folder);
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  // The folder's path, as given.
  const std::string& Path() const { return path_; }

  // The identity of the regular file name in the folder, examined without following a symbolic
  // link: on Linux with one call on its name, on Windows (where only an open handle tells a file's
  // number and change time) opened relative to the folder for its attributes alone, asked once
  // and closed. Nothing when it is no regular file or cannot be examined so.
  std::optional<FileIdentity> RegularFileIdentityOf(const std::string& name) const;

 private:
  friend class ReadOnlyFile;

  std::string path_;
  std::intptr_t native_ = -1;  // the folder's descriptor on Linux, its handle on Windows; -1: none
  // The device every entry examined through the folder lies on, once asked (Windows: an entry
  // opened relative to the folder without following a link lies on the folder's volume).
  mutable std::optional<std::uint64_t> device_;
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
