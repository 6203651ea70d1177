// Which volumes' time stamps the archive trusts: whether what was read of a file, or of a folder,
// may be kept until its times show a change.
#pragma once

#include "platform/VolumeKind.h"

namespace varo {

// Whether readings of a file or folder on this kind of volume may be kept between requests: only
// where a change shows in its times at 2 seconds or better, on the clock this server reads.
bool MayKeepReadingsOn(VolumeKind kind);

}  // namespace varo
