// The information requests: the 61-byte summary of one stored system.
#pragma once

#include "archive/ArchiveFolders.h"
#include "endpoint/RequestState.h"
#include "handlers/ActivityLog.h"

namespace varo {

// 520/1: the summary of the Totocalcio system with the requested code, or status 870.
void RichiestaInfoTotocalcio(RequestState& state, const ArchiveFolders& folders, ActivityLog& log);

// 530/3: the summary of the Totogol system with the requested code, or status 870.
void RichiestaInfoTotogol(RequestState& state, const ArchiveFolders& folders, ActivityLog& log);

}  // namespace varo
