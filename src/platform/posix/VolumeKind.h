// Linux: the kind of a volume from the file-system number fstatfs gives.
#pragma once

#include "platform/VolumeKind.h"

namespace varo {

// The kind of volume a file-system number names; VolumeKind::Other for any not known here.
VolumeKind VolumeKindOfMagic(unsigned long magic);

// The kind of volume an open descriptor's file lies on; VolumeKind::Other when it cannot be told.
VolumeKind VolumeKindOfDescriptor(int fd);

}  // namespace varo
