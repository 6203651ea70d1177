// The six request handlers wired into the endpoint's dispatch table.
#pragma once

#include <memory>

#include "archive/ArchiveFolders.h"
#include "archive/SystemArchive.h"
#include "endpoint/RequestDispatch.h"
#include "handlers/ActivityLog.h"

namespace varo {

// A table whose slots run the six handlers on the given folders and log; the log must outlive it.
// The table owns what is kept of the archive between requests.
// A deletion goes as deletion says: to the trash is the programs' choice, by their settings.
HandlerTable MakeHandlerTable(const ArchiveFolders& folders, ActivityLog& log,
                              Deletion deletion = Deletion::ForGood);

// The same on the given archive, which the table shares.
HandlerTable MakeHandlerTable(std::shared_ptr<SystemArchive> archive, ActivityLog& log);

}  // namespace varo
