// The archive on Windows: the attribute rules of the listing, files other programs hold or protect,
// names the clients' code page cannot spell, and names a plain Win32 path would change.
#include "platform/win32/Windows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "ArchiveTestFiles.h"
#include "TempDir.h"
#include "archive/ArchiveFolders.h"
#include "archive/SystemArchive.h"
#include "archive/SystemFileActions.h"
#include "archive/SystemListing.h"
#include "archive/SystemSummary.h"
#include "archive/WireName.h"
#include "platform/FolderWatch.h"
#include "platform/Paths.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/WideText.h"

namespace varo {
namespace {

using ::testing::ElementsAre;

// One Totocalcio column of single signs: one ticket.
const std::string OneColumn(14, '\x01');

// Run once with listings kept and once without.
class WindowsArchive : public ::testing::TestWithParam<test::Listings> {
 protected:
  test::TempDir documents{test::KeepingVolume()};
  ArchiveFolders folders = MakeArchiveFolders(test::Utf8(documents.Path()));
  SystemArchive archive{folders, {}, test::WatchSeamsFor(GetParam())};

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

  // Writes a Totocalcio system by its exact name, which a plain path would shorten or take as a
  // device; false where the system cannot make it.
  bool WriteExactly(const std::string& name, const std::string& bytes) {
    const std::wstring exact = L"\\\\?\\" +
                               std::filesystem::absolute(Wide(folders.TotocalcioFolder)).wstring() +
                               L"\\" + Wide(name).wstring();
    HANDLE file = CreateFileW(exact.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
  }

  bool Exists(const std::string& path) const { return std::filesystem::exists(Wide(path)); }

  std::vector<std::string> Listed() { return archive.List(1).Names; }
  std::string Found(std::int32_t code) { return archive.Code2Filename(code, 1); }
};

TEST(WindowsArchiveFolders, LieBelowTheDocumentsFolder) {
  const ArchiveFolders folders = MakeArchiveFolders("C:\\Users\\u\\Documents");
  EXPECT_EQ(folders.TotocalcioFolder,
            "C:\\Users\\u\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totocalcio");
  EXPECT_EQ(folders.TotogolFolder,
            "C:\\Users\\u\\Documents\\Quillmarch\\Quillmarch Varo Server\\Totogol");
  EXPECT_EQ(folders.Documents, "C:\\Users\\u\\Documents");
}

TEST_P(WindowsArchive, HiddenAndSystemFilesFoldersAndLinksAreNeitherListedNorFound) {
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

TEST_P(WindowsArchive, AReadOnlyFileIsListedAndSummarisedButNotDeleted) {
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

TEST_P(WindowsArchive, AFileHeldWithoutDeleteSharingIsNotReportedDeleted) {
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

TEST_P(WindowsArchive, ANameOutsideTheCodePageGoesOutWithAQuestionMarkAndIsStillServed) {
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

TEST(WindowsWideText, ANameWithAnUnpairedSurrogateDoesNotSurviveUtf8) {
  const struct {
    const char* What;
    std::wstring Name;
    bool Survives;
  } cases[] = {
      {"ASCII", L"plain.tcl.1", true},
      {"beyond ASCII", L"Citt\u00E0 \u03A9.tcl.2", true},
      {"a surrogate pair", L"\xD83D\xDE00.tcl.3", true},
      {"a lone high surrogate", L"\xD83D.tcl.4", false},
      {"a lone low surrogate", L"x\xDE00.tcl.5", false},
      {"a reversed pair", L"\xDE00\xD83D.tcl.6", false},
  };
  for (const auto& [what, name, survives] : cases) {
    EXPECT_EQ(win32::RoundTripsThroughUtf8(name), survives) << what;
  }
}

TEST(WindowsLongPaths, OnlyTheFolderIsNormalisedAndTheWholeGetsTheLocalOrShareForm) {
  const struct {
    std::string Path;
    std::wstring Expected;
  } cases[] = {
      {"C:/a/b/../.\\x.tcl.", L"\\\\?\\C:\\a\\x.tcl."},
      {"C:\\a\\NUL.tcl.1", L"\\\\?\\C:\\a\\NUL.tcl.1"},
      {"\\\\server\\share\\c06.gcl.7 ", L"\\\\?\\UNC\\server\\share\\c06.gcl.7 "},
      {"\\\\?\\C:\\a\\..\\x.tcl.", L"\\\\?\\C:\\a\\..\\x.tcl."},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(win32::LongPathOf(path), expected) << path;
}

TEST_P(WindowsArchive, ANameEndingInADotOrNamedLikeADeviceIsTheFileReadAndDeleted) {
  // "x.tcl" has no ".tcl." and is never listed: it must not stand in for "x.tcl.". A ticket holds
  // up to 64 columns, so 1, 65 and 129 columns make 1, 2 and 3 tickets.
  const auto columns = [](int count) { return std::string(count * OneColumn.size(), '\x01'); };
  ASSERT_TRUE(WriteExactly("x.tcl", columns(129)));
  if (!WriteExactly("x.tcl.", columns(1)) || !WriteExactly("NUL.tcl.1", columns(65))) {
    GTEST_SKIP() << "this system makes no file named \"x.tcl.\" or \"NUL.tcl.1\"";
  }
  EXPECT_THAT(Listed(), ElementsAre("NUL.tcl.1", "x.tcl."));
  const struct {
    std::int32_t Code;
    std::string Name;
    int Tickets;
  } systems[] = {{-1, "x.tcl.", 1}, {1, "NUL.tcl.1", 2}};
  for (const auto& [code, name, tickets] : systems) {
    const std::string path = Found(code);
    ASSERT_EQ(path, JoinPath(folders.TotocalcioFolder, name));
    SystemSummary summary{};
    GetInfoTotocalcio(path, summary);
    EXPECT_EQ(summary.Tickets, tickets) << name;
    EXPECT_NO_THROW(SystemFileDate(path)) << name;
    archive.Delete(path);
  }
  EXPECT_THAT(Listed(), ElementsAre());
  EXPECT_TRUE(Exists(JoinPath(folders.TotocalcioFolder, "x.tcl")));
}

// Watched through Documents, as on Windows: Wine reports changes of Documents' own entries only,
// so the games' folders are Documents itself and one of its folders here.
TEST(WindowsArchiveWatch, AChangeThrowsAwayOnlyTheListingsItTouches) {
  test::TempDir documents(test::KeepingVolume());
  const std::string root = test::Utf8(documents.Path());
  const std::string totogol = JoinPath(root, "Totogol");
  std::filesystem::create_directory(documents.Path() / "Totogol");
  documents.WriteFile("a.tcl.1", "");
  FolderWatchSeams throughDocuments;
  throughDocuments.SubtreeReported = true;
  SystemArchive archive({root, totogol, root}, {}, throughDocuments);
  ASSERT_EQ(archive.List(1).Names, std::vector<std::string>{"a.tcl.1"});
  ASSERT_EQ(archive.List(2).Names.size(), 0u);

  // In Documents, outside Totogol: only Totocalcio is read again.
  documents.WriteFile("b.tcl.2", "");
  EXPECT_EQ(archive.List(1).Names, (std::vector<std::string>{"a.tcl.1", "b.tcl.2"}));
  EXPECT_EQ(archive.List(2).Names.size(), 0u);
  EXPECT_EQ(archive.FolderReadings(), 3u);
  // Totogol moved away and made again: both are read again, each seeing what is there now.
  std::filesystem::rename(documents.Path() / "Totogol", documents.Path() / "Vecchio");
  documents.WriteFile("Totogol/Ruota.gcl.7", "");
  EXPECT_EQ(archive.Code2Filename(7, 2), JoinPath(totogol, "Ruota.gcl.7"));
  EXPECT_EQ(archive.List(1).Names.size(), 2u);
  EXPECT_EQ(archive.FolderReadings(), 5u);
  // Kept again until the next change; a folder outside Documents never is.
  archive.List(1);
  archive.List(2);
  EXPECT_EQ(archive.FolderReadings(), 5u);
  SystemArchive outside({totogol, totogol, JoinPath(root, "Altro")}, {}, throughDocuments);
  outside.List(2);
  outside.List(2);
  EXPECT_EQ(outside.FolderReadings(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Listings, WindowsArchive,
                         ::testing::Values(test::Listings::Kept, test::Listings::NotKept),
                         test::ListingsName);

}  // namespace
}  // namespace varo
