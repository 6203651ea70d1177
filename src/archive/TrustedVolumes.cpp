#include "archive/TrustedVolumes.h"

namespace varo {

bool MayKeepReadingsOn(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::Ext:
    case VolumeKind::Xfs:
    case VolumeKind::Btrfs:
    case VolumeKind::Tmpfs:
    case VolumeKind::F2fs:
    case VolumeKind::Zfs:
    case VolumeKind::Overlay:
    case VolumeKind::Ntfs:
    case VolumeKind::Refs:
      return true;
    case VolumeKind::Network:
    case VolumeKind::Fuse:
    case VolumeKind::Fat:
    case VolumeKind::NoChangeTime:
    case VolumeKind::Other:
      return false;
  }
  return false;
}

}  // namespace varo
