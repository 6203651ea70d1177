// The six request handlers wired into the endpoint's dispatch table.
#pragma once

#include <memory>

#include "archive/ArchiveFolders.h"
#include "archive/SummaryCache.h"
#include "endpoint/RequestDispatch.h"
#include "handlers/ActivityLog.h"

namespace varo {

// A table whose slots run the six handlers on the given folders and log; both must outlive it. The
// table owns the summaries its list and information handlers keep.
HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log);

// The same with the given kept summaries, which the table shares.
HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log,
                              std::shared_ptr<SummaryCache> kept);

}  // namespace varo
