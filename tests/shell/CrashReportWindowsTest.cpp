// Windows: a crash (an access violation of a program made for it) leaves a report, a minidump when
// one is written in time, and a notice that the next start names once; the process ends within
// the minidump's 10 seconds and writes nothing after them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "SystemFiles.h"
#include "TempDir.h"
#include "platform/win32/Windows.h"
#include "records/CrashNotice.h"
#include "records/CrashReportText.h"

namespace varo::test {
namespace {

TEST(CrashReport, ACrashLeavesItsReportAndNoticeWithinTheBoundAndNothingAfterIt) {
  // The report's line after "minidump: writing ..."; none where the system decides: Wine's
  // dbghelp waits for the loader lock, so there the wait runs out.
  const struct {
    const wchar_t* How;
    const char* DumpOutcome;
  } cases[] = {
      {L"", "minidump: written\r\n"},
      // The writer exists before the crash: a thread made then would never start.
      {L"no-new-threads", "minidump: written\r\n"},
      // ERROR_FILE_EXISTS (80) as an HRESULT.
      {L"dump-taken", "minidump: not written (error 0x80070050)\r\n"},
      {L"loader-lock", nullptr},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(Utf8(row.How));
    TempDir dir;
    const std::filesystem::path folder = dir.Path() / "stato" / "Quillmarch";  // made by the crash
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::filesystem::path probe =
        std::filesystem::path(self).parent_path() / L"crash-probe.exe";
    std::wstring command = L"\"" + probe.wstring() + L"\" \"" + folder.wstring() + L"\" " + row.How;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    const auto ended = std::filesystem::file_time_type::clock::now();
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "still running after 30 s";
    EXPECT_EQ(exitCode, 0xC0000005u);

    std::filesystem::path report;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".txt") report = entry.path();
    }
    ASSERT_FALSE(report.empty());
    EXPECT_TRUE(std::regex_match(report.filename().string(),
                                 std::regex("crash-\\d{4}-\\d\\d-\\d\\dT\\d{6}\\.txt")));
    const std::string text = FileBytes(report);
    EXPECT_NE(text.find("\r\nversion: 9.9.9\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nexception: 0xc0000005 (access violation)\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\nwrite at 0x0000000000000000\r\n"), std::string::npos) << text;
    // The faulting instruction first, in the program that crashed.
    EXPECT_TRUE(std::regex_search(text, std::regex("\r\n#0 0x[0-9a-f]{16} crash-probe\\.exe\\+0x")))
        << text;

    // The notice comes just before the minidump is asked for; from then on the process has 10 s,
    // a little more to end, and a second for the file time's rounding.
    const auto took = ended - std::filesystem::last_write_time(folder / CrashNoticeFileName);
    EXPECT_LT(took, std::chrono::seconds(14));
    std::filesystem::path dump = report;
    dump.replace_extension(".dmp");
    const std::string writing = "minidump: writing " + Utf8(dump) + ", for 10 s at most\r\n";
    const std::size_t line = text.find(writing);
    ASSERT_NE(line, std::string::npos) << text;
    const std::string outcome = text.substr(line + writing.size());
    if (row.DumpOutcome != nullptr) {
      EXPECT_EQ(outcome, row.DumpOutcome);
    }
    EXPECT_EQ(FileBytes(dump).starts_with("MDMP"), outcome == "minidump: written\r\n");
    // Not a byte more once the wait ran out.
    EXPECT_TRUE(outcome.empty() || took < std::chrono::seconds(10)) << text;

    const auto told = AnnounceEarlierCrash(Utf8(folder));
    ASSERT_TRUE(told.has_value());
    EXPECT_EQ(told->Report, Utf8(report));
    EXPECT_FALSE(AnnounceEarlierCrash(Utf8(folder)).has_value());
  }
}

}  // namespace
}  // namespace varo::test
