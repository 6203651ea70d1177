// The archive on Windows: the attribute rules of the listing, files other programs hold or protect,
// and names the clients' code page cannot spell.
#include "platform/win32/Windows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "TempDir.h"
#include "archive/ArchiveFolders.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "archive/SystemLookup.h"
#include "archive/SystemSummary.h"
#include "archive/WireName.h"
#include "platform/Paths.h"

namespace varo {
namespace {

using ::testing::ElementsAre;

// One Totocalcio column of single signs: one ticket.
const std::string OneColumn(14, '\x01');

class WindowsArchive : public ::testing::Test {
 protected:
  test::TempDir documents;
  ArchiveFolders folders = MakeArchiveFolders(documents.Path().string());

  void SetUp() override { std::filesystem::create_directories(Wide(folders.TotocalcioFolder)); }

  // The program's paths are UTF-8; std::filesystem takes a plain string in the ANSI code page.
  static std::filesystem::path Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  }

  // Writes a Totocalcio system and returns its full path as the archive spells it.
  std::string Write(const std::string& name, DWORD attributes = 0) {
    const std::string path = JoinPath(folders.TotocalcioFolder, name);
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    WriteFile(file, OneColumn.data(), static_cast<DWORD>(OneColumn.size()), &written, nullptr);
    CloseHandle(file);
    if (attributes != 0) {
      EXPECT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << name;
    }
    return path;
  }

  bool Exists(const std::string& path) const { return std::filesystem::exists(Wide(path)); }

  std::vector<std::string> Listed() const { return ListSystemFiles(folders, 1).Names; }
  std::string Found(std::int32_t code) const { return Code2Filename(folders, code, 1); }
};

TEST(WindowsArchiveFolders, LieBelowTheDocumentsFolder) {
  const ArchiveFolders folders = MakeArchiveFolders("C:\\Users\\u\\Documents");
  EXPECT_EQ(folders.TotocalcioFolder,
            "C:\\Users\\u\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totocalcio");
  EXPECT_EQ(folders.TotogolFolder,
            "C:\\Users\\u\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totogol");
}

TEST_F(WindowsArchive, HiddenAndSystemFilesFoldersAndLinksAreNeitherListedNorFound) {
  const std::string plain = Write("plain.tcl.1");
  Write("hidden.tcl.2", FILE_ATTRIBUTE_HIDDEN);
  Write("system.tcl.3", FILE_ATTRIBUTE_SYSTEM);
  std::filesystem::create_directory(Wide(JoinPath(folders.TotocalcioFolder, "folder.tcl.4")));
  Write("archived.tcl.6", FILE_ATTRIBUTE_ARCHIVE);
  // A symbolic link to a system, where this system can make one.
  const std::string link = JoinPath(folders.TotocalcioFolder, "link.tcl.5");
  CreateSymbolicLinkW(Wide(link).c_str(), Wide(plain).c_str(), 0);
  const DWORD linkAttributes = GetFileAttributesW(Wide(link).c_str());
  if (linkAttributes == INVALID_FILE_ATTRIBUTES ||
      (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    std::cout << "no symbolic link can be made here: that case goes unchecked\n";
  }

  EXPECT_THAT(Listed(), ElementsAre("archived.tcl.6", "plain.tcl.1"));
  EXPECT_EQ(Found(1), plain);
  for (std::int32_t code : {2, 3, 4, 5}) EXPECT_EQ(Found(code), "") << code;
}

TEST_F(WindowsArchive, AReadOnlyFileIsListedAndSummarisedButNotDeleted) {
  const std::string path = Write("kept.tcl.7", FILE_ATTRIBUTE_READONLY);
  EXPECT_THAT(Listed(), ElementsAre("kept.tcl.7"));
  ASSERT_EQ(Found(7), path);
  SystemSummary summary{};
  GetInfoTotocalcio(path, summary);
  EXPECT_EQ(summary.Tickets, 1);
  EXPECT_THROW(DeleteSystemFile(path), std::system_error);
  EXPECT_TRUE(Exists(path));
  // The attribute is the user's: never cleared to get a deletion through.
  EXPECT_NE(GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(WindowsArchive, AFileHeldWithoutDeleteSharingIsNotReportedDeleted) {
  const std::string path = Write("held.tcl.8");
  HANDLE other = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_THROW(DeleteSystemFile(path), std::system_error);
  EXPECT_TRUE(Exists(path));
  CloseHandle(other);
  DeleteSystemFile(path);
  EXPECT_FALSE(Exists(path));
  EXPECT_NO_THROW(DeleteSystemFile(path));
}

TEST_F(WindowsArchive, ANameOutsideTheCodePageGoesOutWithAQuestionMarkAndIsStillServed) {
  const std::string name = "\xCE\xA9mega.tcl.5";  // "Ωmega.tcl.5" in UTF-8
  const std::string path = Write(name);
  EXPECT_THAT(Listed(), ElementsAre(name));
  const std::string wire = "?mega.tcl.5         ";
  const auto field = WireName(name);
  EXPECT_EQ(std::string(field.begin(), field.end()), wire);

  ASSERT_EQ(Found(5), path);
  SystemSummary summary{};
  GetInfoTotocalcio(Found(5), summary);
  EXPECT_EQ(std::string(std::begin(summary.Name), std::end(summary.Name)), wire);
  EXPECT_EQ(summary.Tickets, 1);
  DeleteSystemFile(Found(5));
  EXPECT_FALSE(Exists(path));
}

}  // namespace
}  // namespace varo
