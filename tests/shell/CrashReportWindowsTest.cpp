// Windows: a crash (an access violation of a program made for it) leaves a report and a minidump in
// the folder given, and the next start's notice names the report once.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "SystemFiles.h"
#include "TempDir.h"
#include "platform/win32/Windows.h"
#include "records/CrashNotice.h"

namespace varo::test {
namespace {

TEST(CrashReport, AnAccessViolationLeavesAReportAndAMinidumpThatTheNextStartNamesOnce) {
  TempDir dir;
  const std::filesystem::path folder = dir.Path() / "stato" / "Quillmarch";  // made by the crash
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::filesystem::path probe =
      std::filesystem::path(self).parent_path() / L"crash-probe.exe";
  std::wstring command = L"\"" + probe.wstring() + L"\" \"" + folder.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(probe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process))
      << GetLastError();
  const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(waited, WAIT_OBJECT_0);
  EXPECT_EQ(exitCode, 0xC0000005u);

  std::filesystem::path report;
  std::filesystem::path dump;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".txt") report = entry.path();
    if (entry.path().extension() == ".dmp") dump = entry.path();
  }
  ASSERT_FALSE(report.empty());
  ASSERT_FALSE(dump.empty());
  EXPECT_TRUE(std::regex_match(report.filename().string(),
                               std::regex("crash-\\d{4}-\\d\\d-\\d\\dT\\d{6}\\.txt")));
  EXPECT_EQ(dump.stem(), report.stem());
  const std::string text = FileBytes(report);
  EXPECT_NE(text.find("\r\nversion: 9.9.9\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nexception: 0xc0000005 (access violation)\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\nwrite at 0x0000000000000000\r\n"), std::string::npos) << text;
  // The faulting instruction first, in the program that crashed.
  EXPECT_TRUE(std::regex_search(text, std::regex("\r\n#0 0x[0-9a-f]{16} crash-probe\\.exe\\+0x")))
      << text;
  EXPECT_EQ(FileBytes(dump).substr(0, 4), "MDMP");

  const auto told = AnnounceEarlierCrash(Utf8(folder));
  ASSERT_TRUE(told.has_value());
  EXPECT_EQ(told->Report, Utf8(report));
  EXPECT_FALSE(AnnounceEarlierCrash(Utf8(folder)).has_value());
}

}  // namespace
}  // namespace varo::test
