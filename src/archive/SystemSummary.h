// The 61-byte summary of a system: code, name, date, tickets, combinations and costs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/ColumnSums.h"
#include "platform/FileAccess.h"

namespace varo {

class SummaryCache;
struct ListPage;

#pragma pack(push, 1)
struct SystemSummary {
  std::uint16_t Status;
  std::int32_t Code;
  std::uint8_t Name[20];
  std::uint16_t Year;
  std::uint8_t Month;
  std::uint8_t Day;
  std::uint16_t Tickets;
  std::int32_t MainCombinations;
  std::int32_t SideCombinations;
  std::int32_t AllCombinations;
  std::int32_t MainCost;
  std::int32_t SideCost;
  std::int32_t TotalCost;
  std::uint8_t Marker;
  std::int32_t TotalCostAgain;
};
#pragma pack(pop)

inline constexpr std::size_t SystemSummarySize = 61;
inline constexpr std::int32_t CostPerCombination = 50;

static_assert(sizeof(SystemSummary) == SystemSummarySize);
static_assert(offsetof(SystemSummary, Status) == 0);
static_assert(offsetof(SystemSummary, Code) == 2);
static_assert(offsetof(SystemSummary, Name) == 6);
static_assert(offsetof(SystemSummary, Year) == 26);
static_assert(offsetof(SystemSummary, Month) == 28);
static_assert(offsetof(SystemSummary, Day) == 29);
static_assert(offsetof(SystemSummary, Tickets) == 30);
static_assert(offsetof(SystemSummary, MainCombinations) == 32);
static_assert(offsetof(SystemSummary, SideCombinations) == 36);
static_assert(offsetof(SystemSummary, AllCombinations) == 40);
static_assert(offsetof(SystemSummary, MainCost) == 44);
static_assert(offsetof(SystemSummary, SideCost) == 48);
static_assert(offsetof(SystemSummary, TotalCost) == 52);
static_assert(offsetof(SystemSummary, Marker) == 56);
static_assert(offsetof(SystemSummary, TotalCostAgain) == 57);

// Reads a Totocalcio system file whole and fills every field in host order; throws when the file
// cannot be opened, read or dated.
void GetInfoTotocalcio(const std::string& path, SystemSummary& summary);

// Reads a Totogol system file whole and fills every field in host order; throws likewise.
void GetInfoTotogol(const std::string& path, SystemSummary& summary);

// The same summaries, filled alike, with the totals of an unchanged file taken from `kept`; the
// file is opened all the same, so one that cannot be read still fails.
void GetInfoTotocalcio(const std::string& path, SystemSummary& summary, SummaryCache& kept);
void GetInfoTotogol(const std::string& path, SystemSummary& summary, SummaryCache& kept);

// The same summary of either game for the file name of a list page: an unchanged file whose
// totals are kept, on a volume the page found trustworthy, is not opened.
void GetListedInfo(ListPage& page, const std::string& name, std::uint8_t gameKind,
                   SystemSummary& summary, SummaryCache& kept);

// The totals of a whole open system file of a game (1 Totocalcio, any other value Totogol), read
// from its first record to its end; throws when it cannot be read.
ColumnTotals ReadColumnTotals(ReadOnlyFile& file, std::uint8_t gameKind);

// Converts a filled Totocalcio summary to wire order in place.
void swapinfototocalcio(SystemSummary& summary);

// Converts a filled Totogol summary to wire order in place.
void swapinfototogol(SystemSummary& summary);

}  // namespace varo
