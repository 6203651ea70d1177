#include "archive/TicketColumns.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include <gtest/gtest.h>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/SystemSummary.h"

namespace varo {
namespace {

using test::Copy;

// Every column of a file, read whole and independently of the code under test.
std::vector<ColumnRecord> AllColumns(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ColumnRecord> columns;
  for (std::size_t at = 0; at < bytes.size(); at += 14) {
    ColumnRecord column{};  // the bytes a short last record lacks stay 0
    for (std::size_t k = 0; k < 14 && at + k < bytes.size(); ++k) {
      column[k] = static_cast<std::uint8_t>(bytes[at + k]);
    }
    columns.push_back(column);
  }
  return columns;
}

std::vector<ColumnRecord> Slice(const std::vector<ColumnRecord>& all, std::size_t first,
                                std::size_t count) {
  return std::vector<ColumnRecord>(all.begin() + static_cast<std::ptrdiff_t>(first),
                                   all.begin() + static_cast<std::ptrdiff_t>(first + count));
}

// Columns whose bytes differ from column to column (never 0), then a short record of extraBytes.
std::string DistinctColumns(std::size_t columns, std::size_t extraBytes) {
  std::string data;
  for (std::size_t i = 0; i < columns * 14 + extraBytes; ++i) {
    data.push_back(static_cast<char>((i * 37 + i / 14) % 251 + 1));
  }
  return data;
}

TEST(ReadTicketColumns, YieldsExactlyWhatReadingTheWholeFileGives) {
  test::TempDir temp;
  const auto file = temp.WriteFile("t.tcl.1", DistinctColumns(3 * 64 + 10, 5));
  const std::vector<ColumnRecord> all = AllColumns(file);
  ASSERT_EQ(all.size(), 3u * 64 + 11);
  const std::string path = file.string();

  EXPECT_EQ(ReadTicketColumns(path, 1), Slice(all, 0, 64));
  EXPECT_EQ(ReadTicketColumns(path, 2), Slice(all, 64, 64));
  EXPECT_EQ(ReadTicketColumns(path, 3), Slice(all, 128, 64));
  const auto last = ReadTicketColumns(path, 4);
  EXPECT_EQ(last, Slice(all, 192, 11));
  ASSERT_EQ(last.size(), 11u);
  EXPECT_EQ(last.back()[4], all.back()[4]);
  EXPECT_EQ(last.back()[5], 0);
  EXPECT_EQ(last.back()[13], 0);

  EXPECT_TRUE(ReadTicketColumns(path, 0).empty());
  EXPECT_TRUE(ReadTicketColumns(path, 5).empty());
  EXPECT_TRUE(ReadTicketColumns(path, 65535).empty());
}

TEST(ReadTicketColumns, FileOfWholeTicketsEndsAtItsLastTicket) {
  test::TempDir temp;
  const auto file = temp.WriteFile("t.gcl.1", DistinctColumns(64, 0));
  EXPECT_EQ(ReadTicketColumns(file.string(), 1), AllColumns(file));
  EXPECT_TRUE(ReadTicketColumns(file.string(), 2).empty());
  const auto empty = temp.WriteFile("e.gcl.1", "");
  EXPECT_TRUE(ReadTicketColumns(empty.string(), 1).empty());
}

TEST(ReadTicketColumns, FileThatCannotBeOpenedFailsForEveryTicketNumber) {
  test::TempDir temp;
  const std::string missing = (temp.Path() / "gone.tcl.1").string();
  EXPECT_THROW(ReadTicketColumns(missing, 1), std::system_error);
  EXPECT_THROW(ReadTicketColumns(missing, 0), std::system_error);
  EXPECT_THROW(ReadTicketColumns(temp.Path().string(), 1), std::system_error);  // a folder
}

TEST(ReadTicketColumns, AgreesWithTheSummaryOnAShortLastRecord) {
  test::TempDir temp;
  // 64 single-sign columns, one of fourteen doubles, then two bytes of triples.
  const auto file = temp.WriteFile(
      "s.tcl.1", std::string(64 * 14, '\x01') + std::string(14, '\x03') + "\x07\x07");
  SystemSummary summary{};
  GetInfoTotocalcio(file.string(), summary);
  EXPECT_EQ(Copy(summary.Tickets), 2);
  EXPECT_EQ(Copy(summary.MainCombinations), 64 + 16384 + 9);

  const auto second = ReadTicketColumns(file.string(), 2);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1], (ColumnRecord{0x07, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(ReadTicketColumns(file.string(), 3).empty());
}

}  // namespace
}  // namespace varo
