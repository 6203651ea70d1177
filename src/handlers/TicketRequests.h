// The ticket requests: the columns of one ticket of a stored system, packed as sign masks.
#pragma once

#include "archive/SystemArchive.h"
#include "endpoint/RequestState.h"
#include "handlers/ActivityLog.h"

namespace varo {

// 520/2: the ticket's columns as 7-byte records (side flag of byte 8, masks of signs 1, X, 2).
void RichiestaBigliettoTotocalcio(RequestState& state, SystemArchive& archive, ActivityLog& log);

// 530/4: the ticket's columns as 9-byte records (side flag of byte 0, masks of all four signs).
void RichiestaBigliettoTotogol(RequestState& state, SystemArchive& archive, ActivityLog& log);

}  // namespace varo
