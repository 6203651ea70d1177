// What a volume's time stamps are worth to the archive: whether what was read of a file, or of a
// folder, may be kept until its times show a change.
#pragma once

namespace varo {

// The kinds of volume a system file can lie on, as the platform tells them apart.
enum class VolumeKind {
  // Local file systems whose times this machine's own kernel stamps, from the clock it reads.
  Ext,
  Xfs,
  Btrfs,
  Tmpfs,
  F2fs,
  Zfs,
  Overlay,  // its times and events come from its local upper layer
  Ntfs,     // as Windows' own driver keeps it
  Refs,
  // Volumes whose times cannot be trusted to show every change.
  Network,       // stamped by another machine's clock
  Fuse,          // stamped by whatever program serves it
  Fat,           // FAT and exFAT keep no change time
  NoChangeTime,  // the file's change time reads 0
  Other,         // any kind not named above
};

// Whether readings of a file or folder on this kind of volume may be kept between requests: only
// where a change shows in its times at 2 seconds or better, on the clock this server reads.
bool MayKeepReadingsOn(VolumeKind kind);

}  // namespace varo
