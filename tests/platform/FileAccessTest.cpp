#include "platform/FileAccess.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <system_error>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ErrorOf.h"
#include "TempDir.h"

namespace varo {
namespace {

using test::ErrorOf;

TEST(ReadOnlyFile, ReadsAtAnOffsetAndStopsAtTheEnd) {
  test::TempDir temp;
  const auto path = temp.WriteFile("f", "abcdefghij").string();
  ReadOnlyFile file(path);
  EXPECT_EQ(file.Size(), 10u);
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(file.ReadFullyAt(0, buffer, 4), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "abcd");
  EXPECT_EQ(file.ReadFullyAt(7, buffer, 8), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "hij");
  EXPECT_EQ(file.ReadFullyAt(100, buffer, 8), 0u);
}

TEST(ReadOnlyFile, RefusesLinksFoldersPipesAndMissingFiles) {
  test::TempDir temp;
  const auto target = temp.WriteFile("target", "x");
  std::filesystem::create_symlink(target, temp.Path() / "link");
  ASSERT_EQ(mkfifo((temp.Path() / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f((temp.Path() / "link").string()); }), ELOOP);
  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f((temp.Path() / "missing").string()); }), ENOENT);
  // A pipe opens at once and is then refused as not a regular file.
  EXPECT_NE(ErrorOf([&] { ReadOnlyFile f((temp.Path() / "pipe").string()); }), 0);
  EXPECT_NE(ErrorOf([&] { ReadOnlyFile f(temp.Path().string()); }), 0);
}

TEST(RemoveFile, TakesAGoneFileAsRemovedAndReportsOtherFailures) {
  test::TempDir temp;
  const auto path = temp.WriteFile("f", "").string();
  RemoveFile(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_NO_THROW(RemoveFile(path));
  temp.WriteFile("dir/inner", "");
  EXPECT_NE(ErrorOf([&] { RemoveFile((temp.Path() / "dir").string()); }), 0);
  EXPECT_TRUE(std::filesystem::exists(temp.Path() / "dir"));
}

TEST(LocalDateOf, GivesTheLocalCalendarDate) {
  std::tm tm{};
  tm.tm_year = 2006 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 15;
  tm.tm_hour = 23;
  tm.tm_min = 59;
  tm.tm_isdst = -1;
  const CalendarTime date = LocalDateOf(std::mktime(&tm));
  EXPECT_EQ(date.Year, 2006);
  EXPECT_EQ(date.Month, 3);
  EXPECT_EQ(date.Day, 15);
}

}  // namespace
}  // namespace varo
