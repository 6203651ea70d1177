// The archive requests: the list of a game's stored systems and the deletion of one system.
#pragma once

#include "archive/SystemArchive.h"
#include "endpoint/RequestState.h"
#include "handlers/ActivityLog.h"

namespace varo {

// Most list entries a reply holds: the 4-byte head and 62 entries of 32 bytes fill 1988 of 2000.
inline constexpr std::size_t MaxListEntries = 62;
inline constexpr std::size_t ListEntrySize = 32;
inline constexpr std::size_t ListHeadSize = 4;

// 510/1: entries for the positions first to last of the game's listing (at most 62 of them); the
// total costs of unchanged systems come from the kept summaries.
void RichiestaLista(RequestState& state, SystemArchive& archive, ActivityLog& log);

// 510/2: deletes the first system of the game with the requested code.
void RichiestaCancellazione(RequestState& state, SystemArchive& archive, ActivityLog& log);

}  // namespace varo
