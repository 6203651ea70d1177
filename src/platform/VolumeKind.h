// The kinds of volume the platform tells apart, by what their time stamps are worth.
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

}  // namespace varo
