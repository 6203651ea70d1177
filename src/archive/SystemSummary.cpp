#include "SystemSummary.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>

#include "archive/ArchiveFolders.h"
#include "archive/ColumnFile.h"
#include "archive/ColumnSums.h"
#include "archive/SummaryCache.h"
#include "archive/SystemCode.h"
#include "archive/SystemFileActions.h"
#include "archive/WireName.h"
#include "platform/CrashReporter.h"
#include "platform/FileAccess.h"
#include "protocol/Codecs.h"

namespace varo {

namespace {

using AddColumns = void (*)(CombinationSums&, const std::uint8_t*, std::size_t);

// From this size on a system is counted in two halves at once, the first on a thread of its own:
// reading a block and counting it take about as long as each other, and the halves share nothing.
constexpr std::uint64_t SplitSummaryBytes = 8u << 20;

ColumnTotals SumPart(ReadOnlyFile& file, std::uint64_t begin, std::uint64_t end, AddColumns add) {
  ColumnTotals part;
  ForEachRecordBlockIn(file, begin, end, [&](const std::uint8_t* records, std::size_t count) {
    add(part.Sums, records, count);
    part.Columns += count;
  });
  return part;
}

// The sums of every column of the file, to its end.
ColumnTotals SumFile(ReadOnlyFile& file, AddColumns add) {
  constexpr std::uint64_t ToTheEnd = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t size = file.Size();
  if (size < SplitSummaryBytes) return SumPart(file, 0, ToTheEnd, add);

  const std::uint64_t half = size / ColumnRecordSize / 2 * ColumnRecordSize;
  ColumnTotals first;
  std::exception_ptr failure;
  ColumnTotals second;
  {
    // Joined when the block ends, also when the second half fails.
    std::jthread firstHalf([&] {
      PrepareThreadForCrashReports();
      try {
        first = SumPart(file, 0, half, add);
      } catch (...) {
        failure = std::current_exception();
      }
    });
    second = SumPart(file, half, ToTheEnd, add);
  }
  if (failure) std::rethrow_exception(failure);
  return {{first.Sums.Main + second.Sums.Main, first.Sums.Side + second.Sums.Side},
          first.Columns + second.Columns};
}

void FillSummary(const std::string& path, const FileTotals& file, SystemSummary& summary) {
  const CombinationSums& totals = file.Totals.Sums;
  const std::uint64_t columns = file.Totals.Columns;
  const FileDate date = FileDateOf(file.Modified);

  const std::uint32_t all = totals.Main + totals.Side;
  const std::uint32_t mainCost = totals.Main * static_cast<std::uint32_t>(CostPerCombination);
  const std::uint32_t sideCost = totals.Side * static_cast<std::uint32_t>(CostPerCombination);
  const std::uint32_t totalCost = mainCost + sideCost;
  const auto name = WireName(FileNameOf(path));

  summary.Status = 1;
  summary.Code = GetCodice(path);
  std::copy(name.begin(), name.end(), summary.Name);
  summary.Year = date.Year;
  summary.Month = date.Month;
  summary.Day = date.Day;
  // The field is 16 bits wide; a file of more than 65535 tickets wraps, as the format allows.
  summary.Tickets = static_cast<std::uint16_t>((columns + 63) / 64);
  summary.MainCombinations = static_cast<std::int32_t>(totals.Main);
  summary.SideCombinations = static_cast<std::int32_t>(totals.Side);
  summary.AllCombinations = static_cast<std::int32_t>(all);
  summary.MainCost = static_cast<std::int32_t>(mainCost);
  summary.SideCost = static_cast<std::int32_t>(sideCost);
  summary.TotalCost = static_cast<std::int32_t>(totalCost);
  summary.Marker = 1;
  summary.TotalCostAgain = static_cast<std::int32_t>(totalCost);
}

void GetInfo(const std::string& path, SystemSummary& summary, std::uint8_t gameKind) {
  FileTotals file;
  {
    ReadOnlyFile open(path);
    file.Totals = ReadColumnTotals(open, gameKind);
    // The date of the very file that was read, even if the name is replaced meanwhile.
    file.Modified = open.ModificationTime();
  }
  FillSummary(path, file, summary);
}

void GetInfo(const std::string& path, SystemSummary& summary, std::uint8_t gameKind,
             SummaryCache& kept) {
  FillSummary(path, kept.TotalsOf(path, gameKind), summary);
}

void SwapWordAt(SystemSummary& summary, std::size_t offset) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&summary);
  std::uint16_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  PutWordBytes(bytes + offset, value);
}

void SwapLongAt(SystemSummary& summary, std::size_t offset) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&summary);
  std::int32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  PutLongBytes(bytes + offset, value);
}

// Both games share the one record layout, so they share the one conversion.
void SwapSummary(SystemSummary& summary) {
  for (std::size_t offset : {offsetof(SystemSummary, Status), offsetof(SystemSummary, Year),
                             offsetof(SystemSummary, Tickets)}) {
    SwapWordAt(summary, offset);
  }
  for (std::size_t offset :
       {offsetof(SystemSummary, Code), offsetof(SystemSummary, MainCombinations),
        offsetof(SystemSummary, SideCombinations), offsetof(SystemSummary, AllCombinations),
        offsetof(SystemSummary, MainCost), offsetof(SystemSummary, SideCost),
        offsetof(SystemSummary, TotalCost), offsetof(SystemSummary, TotalCostAgain)}) {
    SwapLongAt(summary, offset);
  }
}

}  // namespace

ColumnTotals ReadColumnTotals(ReadOnlyFile& file, std::uint8_t gameKind) {
  return SumFile(file, gameKind == GameTotocalcio ? AddTotocalcioColumns : AddTotogolColumns);
}

void GetInfoTotocalcio(const std::string& path, SystemSummary& summary) {
  GetInfo(path, summary, GameTotocalcio);
}

void GetInfoTotogol(const std::string& path, SystemSummary& summary) {
  GetInfo(path, summary, GameTotogol);
}

void GetInfoTotocalcio(const std::string& path, SystemSummary& summary, SummaryCache& kept) {
  GetInfo(path, summary, GameTotocalcio, kept);
}

void GetInfoTotogol(const std::string& path, SystemSummary& summary, SummaryCache& kept) {
  GetInfo(path, summary, GameTotogol, kept);
}

void GetListedInfo(ListPage& page, const std::string& name, std::uint8_t gameKind,
                   SystemSummary& summary, SummaryCache& kept) {
  FillSummary(name, kept.TotalsOf(page, name, gameKind), summary);
}

void swapinfototocalcio(SystemSummary& summary) {
  SwapSummary(summary);
}

void swapinfototogol(SystemSummary& summary) {
  SwapSummary(summary);
}

}  // namespace varo
