// Everything the request handlers use of the system archive.
#pragma once

#include "archive/ArchiveFolders.h"
#include "archive/ColumnRecord.h"
#include "archive/SummaryCache.h"
#include "archive/SystemArchive.h"
#include "archive/SystemCode.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "archive/SystemSummary.h"
#include "archive/TicketColumns.h"
#include "archive/WireName.h"
