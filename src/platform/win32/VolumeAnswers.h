// Windows: the kind of a volume from what the system answers about an open file, apart from the
// asking, so that the refusals can be checked where every volume reads as local NTFS.
#pragma once

#include <string>

#include "platform/VolumeKind.h"
#include "platform/win32/Windows.h"

namespace varo::win32 {

// What Windows tells about the volume of one open file.
struct VolumeAnswers {
  std::wstring FileSystem;  // as GetVolumeInformationByHandleW names it: "NTFS", "ReFS", "FAT32"...
  bool RemoteProtocol;      // the FileRemoteProtocolInfo query succeeded: a redirector serves it
  bool RemoteDrive;         // the volume root's drive type is DRIVE_REMOTE
  bool ChangeTimeZero;      // the file's change time reads 0, as on FAT
};

// The kind of volume those answers describe.
VolumeKind VolumeKindOfAnswers(const VolumeAnswers& answers);

// The kind of volume of an open file or folder, asked of the system; path names it for the root's
// drive type. VolumeKind::Other when it cannot be told.
VolumeKind VolumeKindOfHandle(HANDLE handle, const std::string& path);

}  // namespace varo::win32
