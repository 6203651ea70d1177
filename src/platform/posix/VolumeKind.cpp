#include "platform/posix/VolumeKind.h"

#include <sys/vfs.h>

#include <cerrno>
#include <system_error>

#include "platform/FileAccess.h"

namespace varo {

VolumeKind VolumeKindOfMagic(unsigned long magic) {
  // The numbers are those of the kernel's linux/magic.h and of the file systems that define their
  // own.
  switch (magic) {
    case 0xEF53:
      return VolumeKind::Ext;  // ext2, ext3 and ext4 share one
    case 0x58465342:
      return VolumeKind::Xfs;
    case 0x9123683E:
      return VolumeKind::Btrfs;
    case 0x01021994:
      return VolumeKind::Tmpfs;
    case 0xF2F52010:
      return VolumeKind::F2fs;
    case 0x2FC12FC1:
      return VolumeKind::Zfs;
    case 0x794C7630:
      return VolumeKind::Overlay;
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x01021997:  // 9p
    case 0x00C36400:  // Ceph
    case 0x6B414653:  // AFS
    case 0x5346414F:  // OpenAFS
      return VolumeKind::Network;
    case 0x65735546:
      return VolumeKind::Fuse;
    case 0x4D44:      // FAT
    case 0x2011BAB0:  // exFAT
      return VolumeKind::Fat;
    default:
      return VolumeKind::Other;
  }
}

VolumeKind VolumeKindOfDescriptor(int fd) {
  struct statfs volume;
  int result;
  do {
    result = fstatfs(fd, &volume);
  } while (result != 0 && errno == EINTR);
  // A volume that cannot be examined is one whose times nothing vouches for.
  if (result != 0) return VolumeKind::Other;
  return VolumeKindOfMagic(static_cast<unsigned long>(volume.f_type));
}

VolumeKind ReadOnlyFile::Volume() const {
  return VolumeKindOfDescriptor(static_cast<int>(native_));
}

}  // namespace varo
