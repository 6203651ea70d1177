// The information requests: the 61-byte summary of one stored system.
#pragma once

#include "archive/SystemArchive.h"
#include "endpoint/RequestState.h"
#include "handlers/ActivityLog.h"

namespace varo {

// 520/1: the summary of the Totocalcio system with the requested code, or status 870; the totals
// of an unchanged system come from the kept summaries.
void RichiestaInfoTotocalcio(RequestState& state, SystemArchive& archive, ActivityLog& log);

// 530/3: the summary of the Totogol system with the requested code, or status 870; likewise.
void RichiestaInfoTotogol(RequestState& state, SystemArchive& archive, ActivityLog& log);

}  // namespace varo
