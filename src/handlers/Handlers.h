// The six request handlers wired into the endpoint's dispatch table.
#pragma once

#include "archive/ArchiveFolders.h"
#include "endpoint/RequestDispatch.h"
#include "handlers/ActivityLog.h"

namespace varo {

// A table whose slots run the six handlers on the given folders and log; both must outlive it.
HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log);

}  // namespace varo
