// The Win32 side of the platform layer: what only Windows has (attributes, sharing modes, named
// mutexes, both separators, CRLF files, the Recycle Bin) and the conversions of its times.
#include "platform/win32/Windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "ErrorOf.h"
#include "TempDir.h"
#include "archive/TrustedVolumes.h"
#include "platform/FileAccess.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/ShellApartment.h"
#include "platform/Trash.h"
#include "platform/WakeSignal.h"
#include "platform/win32/ComRef.h"
#include "platform/win32/FolderScan.h"
#include "platform/win32/ShellDeletion.h"
#include "platform/win32/VolumeAnswers.h"
#include "settings/IniProfile.h"

namespace varo {
namespace {

using test::TempDir;

using test::ErrorOf;

std::string BytesOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool HasAttribute(const std::filesystem::path& path, DWORD attribute) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

TEST(WindowsPaths, JoinWithABackslashAndSplitAtEitherSeparator) {
  EXPECT_EQ(JoinPath("C:\\Users\\u\\Documents", "a.tcl.1"), "C:\\Users\\u\\Documents\\a.tcl.1");
  EXPECT_EQ(FileNameOf("C:\\Users\\u/Totogol\\b.gcl.2"), "b.gcl.2");
  EXPECT_EQ(FileNameOf("C:/Users/u/Totogol/c.gcl.3"), "c.gcl.3");
  EXPECT_EQ(FileNameOf("d.gcl.4"), "d.gcl.4");
}

TEST(WindowsFiles, ReadingSharesTheFileAndRefusesAnythingButADiskFile) {
  TempDir temp;
  const std::string folder = temp.Path().string();
  const auto path = temp.WriteFile("f.tcl.1", "abcdefghij");
  {
    ReadOnlyFile file(path.string());
    // Another program may rename and delete a system the server is reading.
    const auto renamed = temp.Path() / "g.tcl.1";
    ASSERT_TRUE(MoveFileExW(path.c_str(), renamed.c_str(), 0)) << GetLastError();
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(file.ReadFullyAt(7, buffer, 8), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "hij");
    EXPECT_TRUE(DeleteFileW(renamed.c_str())) << GetLastError();
  }

  const auto readOnly = temp.WriteFile("r.tcl.2", "xyz");
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadOnlyFile(readOnly.string()).Size(), 3u);

  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f(JoinPath(folder, "missing")); }), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f(JoinPath(folder, "none\\missing")); }),
            ERROR_PATH_NOT_FOUND);
  EXPECT_NE(ErrorOf([&] { ReadOnlyFile f(folder); }), 0);
  // A device is refused once open; a device's name in a folder names a file there.
  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f("\\\\.\\NUL"); }), ERROR_BAD_FILE_TYPE);
  EXPECT_EQ(ErrorOf([&] { ReadOnlyFile f(JoinPath(folder, "NUL")); }), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(ErrorOf([&] { win32::RegularFileNames(JoinPath(folder, "none")); }),
            ERROR_PATH_NOT_FOUND);
  EXPECT_NE(ErrorOf([&] { win32::RegularFileNames(readOnly.string()); }), 0);
  // Gone, or its folder gone: nothing left to delete.
  EXPECT_NO_THROW(RemoveFile(JoinPath(folder, "missing")));
  EXPECT_NO_THROW(RemoveFile(JoinPath(folder, "none\\missing")));
}

TEST(WindowsFiles, TheIdentityNamesTheFileAndItsChangesOnTheFileClock) {
  TempDir temp;
  const FileTime before = FileClockNow();
  const auto a = temp.WriteFile("a", "12345");
  const auto b = temp.WriteFile("b", "12345");
  const FileTime after = FileClockNow();

  const FileIdentity first = ReadOnlyFile(a.string()).OpenedIdentity();
  EXPECT_EQ(ReadOnlyFile(a.string()).OpenedIdentity(), first);
  const FileIdentity other = ReadOnlyFile(b.string()).OpenedIdentity();
  EXPECT_EQ(other.Device, first.Device);
  EXPECT_NE(other.FileNumber, first.FileNumber);
  EXPECT_EQ(first.Size, 5u);
  // The summary cache compares change times with this clock: both must be the same clock.
  EXPECT_LE((FileTime{before.Seconds - 2, 0}), first.Changed);
  EXPECT_LE(first.Changed, (FileTime{after.Seconds + 2, 0}));
  EXPECT_EQ(ModificationTimeOf(a.string()), first.Modified.Seconds);

  // A new attribute changes the change time only; new contents change size and times.
  Sleep(20);
  ReadOnlyFile open(a.string());
  ASSERT_TRUE(SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
  const FileIdentity hidden = open.Identity();
  EXPECT_GT(hidden.Changed, first.Changed);
  EXPECT_EQ(hidden.Modified, first.Modified);
  Sleep(20);
  std::ofstream(a, std::ios::binary | std::ios::app) << "678";
  const FileIdentity longer = open.Identity();
  EXPECT_EQ(longer.Size, 8u);
  EXPECT_GT(longer.Modified, first.Modified);
  EXPECT_GT(longer.Changed, hidden.Changed);
}

// A list page's folder, held open, tells each entry's identity by its name alone, the very one
// the file gives once opened, and opens it with the same refusals; it locks nothing meanwhile.
TEST(WindowsFiles, AHeldFolderExaminesAndOpensItsEntriesByNameAsTheirPathsWould) {
  TempDir temp;
  const auto folder = temp.Path() / "Totocalcio";
  std::filesystem::create_directories(folder / "folder.tcl.4");
  // Exact names, as the folder scan returns them: a plain path would drop the final dot or
  // reach the device NUL.
  const auto exact = [&](const std::wstring& name) {
    return L"\\\\?\\" + std::filesystem::absolute(folder).wstring() + L"\\" + name;
  };
  for (const std::wstring name : {L"plain.tcl.1", L"dot.tcl.", L"NUL.tcl.3"}) {
    HANDLE file = CreateFileW(exact(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "12345", 5, &written, nullptr);
    CloseHandle(file);
  }
  const OpenFolder held(test::Utf8(folder));
  struct Case {
    std::string Name;
    DWORD Error;  // of opening it; 0: a regular file, read as its exact path reads
  };
  const Case cases[] = {
      {"plain.tcl.1", 0},
      {"dot.tcl.", 0},
      {"NUL.tcl.3", 0},
      {"missing.tcl.5", ERROR_FILE_NOT_FOUND},
      {"folder.tcl.4", ERROR_ACCESS_DENIED},  // a folder is never opened as a file
      {"..\\Totocalcio\\plain.tcl.1", ERROR_INVALID_NAME},  // one name, never a path
  };
  for (const Case& c : cases) {
    const std::optional<FileIdentity> seen = held.RegularFileIdentityOf(c.Name);
    EXPECT_EQ(static_cast<DWORD>(ErrorOf([&] { ReadOnlyFile file(held, c.Name); })), c.Error)
        << c.Name;
    if (c.Error != 0) {
      EXPECT_FALSE(seen) << c.Name;
      continue;
    }
    const std::wstring wide(c.Name.begin(), c.Name.end());
    const FileIdentity byPath =
        ReadOnlyFile(test::Utf8(std::filesystem::path(exact(wide)))).OpenedIdentity();
    ReadOnlyFile file(held, c.Name);
    ASSERT_TRUE(seen) << c.Name;
    EXPECT_EQ(*seen, byPath) << c.Name;
    EXPECT_EQ(file.OpenedIdentity(), byPath) << c.Name;
    std::uint8_t bytes[8] = {};
    EXPECT_EQ(file.ReadFullyAt(1, bytes, 8), 4u) << c.Name;
  }
  // Another program may still rename the folder, and a file in it, while the page holds it.
  EXPECT_TRUE(MoveFileExW(exact(L"plain.tcl.1").c_str(), exact(L"moved.tcl.1").c_str(), 0))
      << GetLastError();
  EXPECT_FALSE(held.RegularFileIdentityOf("plain.tcl.1"));
  EXPECT_TRUE(held.RegularFileIdentityOf("moved.tcl.1"));
  const auto renamed = temp.Path() / "Renamed";
  EXPECT_TRUE(MoveFileExW(folder.c_str(), renamed.c_str(), 0)) << GetLastError();
  // Names a plain path cannot delete, which the temporary folder's removal would retry for ever.
  for (const std::wstring name : {L"dot.tcl.", L"NUL.tcl.3"}) {
    DeleteFileW((L"\\\\?\\" + std::filesystem::absolute(renamed).wstring() + L"\\" + name).c_str());
  }
}

TEST(WindowsFiles, DatesAreLocalDatesOfAnyYearTheSystemCanExpress) {
  // Noon UTC of 15 June keeps its date in the time zones of the clients' countries.
  EXPECT_EQ(LocalDateOf(1150372800).Year, 2006);
  EXPECT_EQ(LocalDateOf(1150372800).Month, 6);
  EXPECT_EQ(LocalDateOf(1150372800).Day, 15);
  EXPECT_EQ(LocalDateOf(-11630174400).Year, 1601);
  EXPECT_EQ(LocalDateOf(32517979200).Year, 3000);
  EXPECT_EQ(LocalDateOf(32517979200).Day, 15);
  // Before 1601 and after 30827 the system has no date at all.
  EXPECT_NE(ErrorOf([] { LocalDateOf(-11644473600 - 86400); }), 0);
  EXPECT_NE(ErrorOf([] { LocalDateOf(2'150'000'000'000LL); }), 0);

  // A file's last-write time comes out as the same moment: 2006-06-15 12:00 UTC in 100 ns ticks
  // since 1601.
  TempDir temp;
  const auto path = temp.WriteFile("d.tcl.1", "x");
  constexpr ULONGLONG ticks = 127948464000000000ULL;
  const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
  }
  EXPECT_EQ(ModificationTimeOf(path.string()), 1150372800);
  EXPECT_EQ(ReadOnlyFile(path.string()).ModificationTime(), 1150372800);
}

TEST(WindowsSettingsFile, ANewFileGetsCrlfAnOldOneKeepsItsLinesAndAttributesAReadOnlyOneStays) {
  TempDir temp;
  const auto fresh = temp.Path() / "QuillmarchvaroServer.ini";
  WritePrivateProfileString("Comunicazione", "InPort", "7771", fresh.string());
  WritePrivateProfileString("Comunicazione", "OutPort", "7001", fresh.string());
  EXPECT_EQ(BytesOf(fresh), "[Comunicazione]\r\nInPort=7771\r\nOutPort=7001\r\n");

  const auto lf = temp.WriteFile("lf.ini", "[Comunicazione]\nInPort=7770\n");
  ASSERT_TRUE(SetFileAttributesW(lf.c_str(), FILE_ATTRIBUTE_HIDDEN));
  WritePrivateProfileString("Comunicazione", "OutPort", "7000", lf.string());
  EXPECT_EQ(BytesOf(lf), "[Comunicazione]\nInPort=7770\nOutPort=7000\n");
  EXPECT_TRUE(HasAttribute(lf, FILE_ATTRIBUTE_HIDDEN));

  const auto kept = temp.WriteFile("ro.ini", "[Comunicazione]\r\nInPort=7770\r\n");
  ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(
      ErrorOf([&] { WritePrivateProfileString("Comunicazione", "InPort", "1", kept.string()); }),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(BytesOf(kept), "[Comunicazione]\r\nInPort=7770\r\n");
  EXPECT_TRUE(HasAttribute(kept, FILE_ATTRIBUTE_READONLY));
  // No temporary file is left behind by any of the writes.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path()), {}), 3);
}

TEST(WindowsInstanceLock, ASecondHolderOfTheNameIsRefusedUntilTheFirstLetsGo) {
  EXPECT_EQ(InstanceLockPath("C:\\Users\\u\\AppData\\Roaming\\Quillmarch"),
            "Quillmarch Varo server");
  // A name of this test's own, so that a server running on this desktop is not disturbed.
  const std::string name = "Quillmarch Varo server test " + std::to_string(GetCurrentProcessId());
  InstanceLock first(name);
  EXPECT_FALSE(first.HeldElsewhere());
  {
    InstanceLock second(name);
    EXPECT_TRUE(second.HeldElsewhere());
  }
  first.Release();
  InstanceLock third(name);
  EXPECT_FALSE(third.HeldElsewhere());
  // A name no mutex can have counts as a first instance.
  EXPECT_FALSE(InstanceLock("Local\\no\\such\\namespace").HeldElsewhere());
}

TEST(WindowsVolumes, OnlyLocalNtfsAndRefsWithAChangeTimeKeepReadings) {
  using win32::VolumeAnswers;
  struct Case {
    VolumeAnswers Answers;
    VolumeKind Kind;
  };
  const Case cases[] = {
      {{L"NTFS", false, false, false}, VolumeKind::Ntfs},
      {{L"ntfs", false, false, false}, VolumeKind::Ntfs},
      {{L"ReFS", false, false, false}, VolumeKind::Refs},
      {{L"FAT32", false, false, false}, VolumeKind::Fat},
      {{L"exFAT", false, false, false}, VolumeKind::Fat},
      {{L"NTFS", false, false, true}, VolumeKind::NoChangeTime},
      {{L"NTFS", true, false, false}, VolumeKind::Network},  // a redirector serves it
      {{L"NTFS", false, true, false}, VolumeKind::Network},  // a mapped drive of a share
      {{L"UDF", false, false, false}, VolumeKind::Other},
      {{L"", false, false, false}, VolumeKind::Other},
  };
  for (const Case& c : cases) {
    const VolumeKind kind = win32::VolumeKindOfAnswers(c.Answers);
    EXPECT_EQ(kind, c.Kind) << std::string(c.Answers.FileSystem.begin(), c.Answers.FileSystem.end());
    EXPECT_EQ(MayKeepReadingsOn(kind), c.Kind == VolumeKind::Ntfs || c.Kind == VolumeKind::Refs);
  }
  // Wine, like a local disk, answers NTFS without a redirector.
  TempDir temp;
  const auto path = temp.WriteFile("Sistema.tcl.1", "x");
  EXPECT_EQ(ReadOnlyFile(test::Utf8(path)).Volume(), VolumeKind::Ntfs);
}

// This process's own Recycle Bin under Wine, never the trash of whoever runs the tests: Wine reads
// XDG_DATA_HOME from the environment at the bin's first use and keeps it for the process. Empty
// where this is not Wine.
std::filesystem::path ProcessTrash() {
  static const TempDir data;
  static const std::filesystem::path trash = [] {
    const auto unixFileName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixFileName != nullptr ? unixFileName(data.Path().c_str()) : nullptr;
    if (name == nullptr) return std::filesystem::path();
    const std::filesystem::path unixPath(std::u8string(name, name + std::strlen(name)));
    SetEnvironmentVariableW(L"XDG_DATA_HOME", unixPath.c_str());
    HeapFree(GetProcessHeap(), 0, name);
    return data.Path() / "Trash";
  }();
  return trash;
}

// The exact name below folder, which a plain path would not spell (a final "." dropped).
std::filesystem::path ExactPath(const std::filesystem::path& folder, const std::wstring& name) {
  return L"\\\\?\\" + std::filesystem::absolute(folder).wstring() + L"\\" + name;
}

// Where a deletion went, in words a failed check prints.
std::string Where(const std::function<std::optional<Disposal>()>& deletion) {
  try {
    const std::optional<Disposal> disposal = deletion();
    if (!disposal) return "left for another way";
    return *disposal == Disposal::Trashed ? "trashed" : "deleted for good";
  } catch (const std::system_error&) {
    return "not deleted";
  }
}

// Wine's shell has no file operation, so its reports are made here as the real shell makes them:
// PreDeleteItem, then PostDeleteItem with the deletion's result and the item it made in the Recycle
// Bin, null where it made none.
TEST(WindowsRecycleBin, OnlyTheItemTheShellMadeInTheBinMakesADeletionTrashed) {
  TempDir temp;
  ShellApartment apartment;
  win32::ComRef<IShellItem> made;
  ASSERT_TRUE(SUCCEEDED(SHCreateItemFromParsingName(temp.Path().c_str(), nullptr,
                                                    __uuidof(IShellItem), made.OutAsVoid())));
  const HRESULT sharing = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
  const struct {
    const char* What;
    HRESULT Performed;
    bool Begun;
    std::optional<HRESULT> Deleted;
    IShellItem* Made;
    bool Gone;
    std::string Expected;
  } cases[] = {
      {"recycled", S_OK, true, S_OK, made.Get(), true, "trashed"},
      {"destroyed where no bin takes it", S_OK, true, S_OK, nullptr, true, "deleted for good"},
      {"held by another program", S_OK, true, sharing, nullptr, false, "not deleted"},
      {"aborted after it began", E_ABORT, true, {}, nullptr, false, "not deleted"},
      {"no file operation (Wine)", E_NOTIMPL, false, {}, nullptr, false, "left for another way"},
  };
  for (const auto& c : cases) {
    const win32::ComRef<win32::DeletionSink> sink(new win32::DeletionSink);
    if (c.Begun) sink->PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, made.Get());
    if (c.Deleted) sink->PostDeleteItem(0, made.Get(), *c.Deleted, c.Made);
    EXPECT_EQ(Where([&] {
                return win32::FileOperationDisposal(c.Performed, sink->Report(), c.Gone, "a.tcl.1");
              }),
              c.Expected)
        << c.What;
  }
}

// Under Wine the older call recycles, and the bin's count tells where the file went. A name the
// shell would read as another file never reaches it.
TEST(WindowsRecycleBin, AFileIsTrashedOnlyWhereTheShellTookItByItsOwnName) {
  const std::filesystem::path trash = ProcessTrash();
  if (trash.empty()) GTEST_SKIP() << "not Wine: the Recycle Bin here is the user's own";
  TempDir temp;
  ShellApartment apartment;  // the file operation is tried first, as by the programs
  std::ofstream(ExactPath(temp.Path(), L"Ruota.tcl.5"), std::ios::binary) << "the sibling";
  const struct {
    std::wstring Name;
    DWORD Attributes;
    std::string Expected;
  } cases[] = {
      {L"Alfa.tcl.7", FILE_ATTRIBUTE_NORMAL, "trashed"},
      {L"Ruota.tcl.5.", FILE_ATTRIBUTE_NORMAL, "deleted for good"},
      {L"Sola.tcl.4", FILE_ATTRIBUTE_READONLY, "not deleted"},
  };
  for (const auto& [name, attributes, expected] : cases) {
    const std::filesystem::path exact = ExactPath(temp.Path(), name);
    const std::string what = test::Utf8(name);
    std::ofstream(exact, std::ios::binary) << what;
    ASSERT_TRUE(SetFileAttributesW(exact.c_str(), attributes));
    EXPECT_EQ(Where([&] { return MoveToTrash(test::Utf8(temp.Path() / name)); }), expected) << what;
    // Only the trashed one is in the trash, with the record "Restore" reads: where it was.
    EXPECT_EQ(BytesOf(exact), expected == "not deleted" ? what : "") << what;
    EXPECT_EQ(BytesOf(trash / "files" / name), expected == "trashed" ? what : "") << what;
    const std::string record = BytesOf(trash / "info" / (name + L".trashinfo"));
    EXPECT_EQ(record.find("/" + what + "\n") != std::string::npos, expected == "trashed") << what;
  }
  // The shell, asked for "Ruota.tcl.5.", once recycled this one instead.
  EXPECT_EQ(BytesOf(ExactPath(temp.Path(), L"Ruota.tcl.5")), "the sibling");
  // The read-only attribute is the user's: never cleared to get a deletion through.
  EXPECT_TRUE(HasAttribute(ExactPath(temp.Path(), L"Sola.tcl.4"), FILE_ATTRIBUTE_READONLY));
  SetFileAttributesW(ExactPath(temp.Path(), L"Sola.tcl.4").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A message-only window of this thread that counts the WM_APP messages handed to it.
struct CountingWindow {
  static inline int Handled = 0;
  HWND Handle = nullptr;

  CountingWindow() {
    Handled = 0;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
      if (message == WM_APP) ++Handled;
      return DefWindowProcW(window, message, w, l);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"varo counting window";
    RegisterClassW(&windowClass);  // fails, harmlessly, when a test before registered it
    Handle = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                             nullptr, windowClass.hInstance, nullptr);
  }
  ~CountingWindow() { DestroyWindow(Handle); }
  CountingWindow(const CountingWindow&) = delete;
  CountingWindow& operator=(const CountingWindow&) = delete;
};

// The headless program's loop hands the thread's messages on while it waits, as an apartment's
// owner must.
TEST(WindowsShellApartment, PendingMessagesReachTheirWindows) {
  ShellApartment apartment;
  const CountingWindow window;
  ASSERT_NE(window.Handle, nullptr);
  ASSERT_TRUE(PostMessageW(window.Handle, WM_APP, 0, 0));
  ASSERT_TRUE(PostMessageW(window.Handle, WM_APP, 0, 0));
  apartment.DispatchPending();
  EXPECT_EQ(CountingWindow::Handled, 2);
}

// The headless program's wait ends as soon as a message comes for its thread, the owner of an
// apartment, not at the next look: one sent from another thread, whose sender waits meanwhile, or
// one already queued, even one a look at the queue left there. Without a message, only a raise or
// the time ends it.
TEST(WindowsWakeSignal, AMessageForTheWaitingThreadEndsTheWait) {
  ShellApartment apartment;
  const CountingWindow counting;
  const HWND window = counting.Handle;
  ASSERT_NE(window, nullptr);
  apartment.DispatchPending();
  WakeSignal wake;
  const DWORD self = GetCurrentThreadId();
  std::thread sender;
  const struct {
    const char* What;
    std::function<void()> Do;
    bool Woken;
    int Handled;
  } cases[] = {
      {"nothing", [] {}, false, 0},
      {"raised", [&] { wake.Raise(); }, true, 0},
      {"a message queued for the thread", [&] { PostThreadMessageW(self, WM_APP, 0, 0); }, true, 0},
      {"a queued message already looked at",
       [&] {
         PostThreadMessageW(self, WM_APP, 0, 0);
         MSG seen;
         PeekMessageW(&seen, nullptr, 0, 0, PM_NOREMOVE);
       },
       true, 0},
      {"a message sent to its window",
       [&] {
         sender = std::thread([window] {
           DWORD_PTR result = 0;
           SendMessageTimeoutW(window, WM_APP, 0, 0, SMTO_NORMAL, 10000, &result);
         });
       },
       true, 1},
  };
  for (const auto& c : cases) {
    CountingWindow::Handled = 0;
    c.Do();
    // Five seconds at the most for what wakes it; a twentieth of one for nothing.
    EXPECT_EQ(wake.Wait(c.Woken ? std::chrono::seconds(5) : std::chrono::milliseconds(50)), c.Woken)
        << c.What;
    // The sender's message is handed on now, and it stops waiting.
    apartment.DispatchPending();
    if (sender.joinable()) sender.join();
    EXPECT_EQ(CountingWindow::Handled, c.Handled) << c.What;
  }
}

}  // namespace
}  // namespace varo
