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
  bool RemoteDrive;         // the volume's device is remote, as a mapped share's (DRIVE_REMOTE)
  bool ChangeTimeZero;      // the file's change time reads 0, as on FAT
};

// The kind of volume those answers describe.
VolumeKind VolumeKindOfAnswers(const VolumeAnswers& answers);

// The kind of volume of an open file or folder, asked of its handle alone; changeTimeZero: its
// change time, as its own examination read it, is 0 or could not be read.
VolumeKind VolumeKindOfHandle(HANDLE handle, bool changeTimeZero);

// The same, its change time asked of the handle too.
VolumeKind VolumeKindOfHandle(HANDLE handle);

}  // namespace varo::win32
