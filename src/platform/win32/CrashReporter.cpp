// Windows: the crash reporter as the process's unhandled-exception filter, the C runtime's
// invalid-parameter and abort handlers and a terminate handler. The report is written from buffers
// prepared beforehand, nothing allocated, and a minidump (dbghelp, loaded at installation) beside
// it, written by a thread made at installation; the stack is unwound from the crash's own register
// context with the modules' unwind tables.
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <dbghelp.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>

#include "platform/CrashReporter.h"
#include "records/CalendarTime.h"
#include "records/CrashReportText.h"

namespace varo {

namespace {

constexpr int MaxFrames = 64;
// The C runtime's own code for an invalid parameter, and abort's exit code.
constexpr DWORD InvalidParameterCode = 0xC0000417;
constexpr DWORD AbortCode = 3;

// Prepared at installation, read while crashing.
char reportFolder[2048];
char programName[128];
char programVersion[64];

// Written by the one thread that reports; static, so the stack of a crashing thread is spared.
LONG volatile reportingThread = 0;
char pathText[2304];
wchar_t pathWide[2304];
char reportText[16384];  // room for every frame with a long module name
wchar_t moduleWide[MAX_PATH];
struct Frame {
  DWORD64 Address;
  char Module[128];
  std::size_t ModuleSize;
  DWORD64 Offset;
};
Frame frames[MaxFrames];

// What ended the process: an exception with its record, or a call of the runtime.
struct CrashCause {
  const EXCEPTION_POINTERS* Exception = nullptr;
  const char* Call = nullptr;  // "std::terminate", "abort", ...
  const char* Detail = nullptr;
};

// The UTF-8 text as UTF-16 into pathWide; false when it does not fit.
bool WidenPath(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, pathWide,
                                         static_cast<int>(sizeof pathWide / sizeof pathWide[0]));
  return length > 0;
}

void WriteAll(HANDLE file, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

// Makes the report folder and the folders above it; what exists already is left as it is.
void MakeReportFolder() {
  if (reportFolder[0] == '\0' || !WidenPath(reportFolder)) return;
  for (wchar_t* c = pathWide + 1; *c != L'\0'; ++c) {
    if (*c != L'\\' && *c != L'/') continue;
    if (c[-1] == L':' || c[-1] == L'\\' || c[-1] == L'/') continue;  // a drive or a share's root
    const wchar_t separator = *c;
    *c = L'\0';
    CreateDirectoryW(pathWide, nullptr);
    *c = separator;
  }
  CreateDirectoryW(pathWide, nullptr);
}

HANDLE CreateNewFile() {
  return CreateFileW(pathWide, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Creates the report file, named by the local time; a second crash in the same second gets
// "-2" and so on. pathText keeps its name without ".txt".
HANDLE CreateReport(const CalendarTime& now) {
  for (int attempt = 1; attempt <= 9; ++attempt) {
    FixedText path(pathText, sizeof pathText - 8);
    path.Add(reportFolder).Add("\\crash-");
    AddFileNameTime(path, now);
    if (attempt > 1) path.Add("-").AddDecimal(attempt);
    const std::size_t stem = path.View().size();
    path.Add(".txt");
    if (!WidenPath(path.CString())) return INVALID_HANDLE_VALUE;
    pathText[stem] = '\0';
    const HANDLE file = CreateNewFile();
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Leaves the path of the text report (pathText) in the report folder for the next start.
void WriteNotice() {
  char noticeText[2304];
  FixedText notice(noticeText, sizeof noticeText);
  notice.Add(reportFolder).Add("\\").Add(CrashNoticeFileName);
  if (!WidenPath(notice.CString())) return;
  const HANDLE noticeFile = CreateFileW(pathWide, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (noticeFile == INVALID_HANDLE_VALUE) return;
  WriteAll(noticeFile, pathText);
  WriteAll(noticeFile, "\r\n");
  CloseHandle(noticeFile);
}

// How long a crash waits for its minidump: a hung dump must not keep the process, and with it
// the single-instance mutex, alive. Another thread that crashes meanwhile waits this and a little
// more for the report to end the process.
constexpr DWORD DumpWaitMilliseconds = 10000;
constexpr DWORD ReportWaitMilliseconds = DumpWaitMilliseconds + 5000;

using WriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                        PMINIDUMP_EXCEPTION_INFORMATION,
                                        PMINIDUMP_USER_STREAM_INFORMATION,
                                        PMINIDUMP_CALLBACK_INFORMATION);

// The thread that writes the minidump, made at installation and waiting for a crash. The crashing
// thread fills the request, sets Asked and waits for Answered; the dump file is opened, written
// and closed by the writer alone, so a wait that runs out leaves nothing closed under it.
struct DumpWriter {
  WriteDumpFunction Write = nullptr;
  HANDLE Asked = nullptr;
  HANDLE Answered = nullptr;   // also set once when the writer is ready
  HRESULT Unavailable = S_OK;  // why there is no writer, or S_OK
  // The request, read by the writer after Asked.
  wchar_t Path[2304];
  MINIDUMP_EXCEPTION_INFORMATION Exception;
  bool HasException;
  // The answer, written by the writer before Answered.
  HRESULT Result;
};
DumpWriter dumpWriter;

// Writes the minidump the request names; the outcome as an HRESULT.
HRESULT WriteRequestedDump() {
  const HANDLE file = CreateFileW(dumpWriter.Path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT result = S_OK;
  // Wine's dbghelp waits here for a loader lock the crashing thread holds, and the crash's wait
  // runs out; the documentation warns of loader deadlocks on Windows too, which the bound covers.
  if (!dumpWriter.Write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                        dumpWriter.HasException ? &dumpWriter.Exception : nullptr, nullptr,
                        nullptr)) {
    // Its last error is an HRESULT, as its documentation says; a plain Win32 code is made one.
    result = HRESULT_FROM_WIN32(GetLastError());
    if (SUCCEEDED(result)) result = E_FAIL;
  }
  CloseHandle(file);
  if (FAILED(result)) DeleteFileW(dumpWriter.Path);
  return result;
}

DWORD WINAPI RunDumpWriter(void*) {
  PrepareThreadForCrashReports();
  SetEvent(dumpWriter.Answered);
  for (;;) {
    if (WaitForSingleObject(dumpWriter.Asked, INFINITE) != WAIT_OBJECT_0) return 0;
    dumpWriter.Result = WriteRequestedDump();
    SetEvent(dumpWriter.Answered);
  }
}

// Loads dbghelp and starts the writer, so that a crash needs neither the loader nor a new thread:
// a thread made while crashing never starts while the crashing thread holds the loader lock (it
// must take it to start), and MiniDumpWriteDump's documentation advises a thread of its own.
void StartDumpWriter() {
  // From System32 only, never a dbghelp.dll beside the program; looked up now, so nothing of it
  // is loaded or resolved at the crash (an export forwarded to another library loads that one
  // when it is looked up).
  const HMODULE dbghelp = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (dbghelp != nullptr) {
    dumpWriter.Write = reinterpret_cast<WriteDumpFunction>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
  }
  if (dumpWriter.Write == nullptr) {
    dumpWriter.Unavailable = HRESULT_FROM_WIN32(GetLastError());
    return;
  }
  dumpWriter.Asked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  dumpWriter.Answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // The libraries' thread-attach code runs for the new thread now, under the loader lock, while
  // nothing of a crash holds it.
  const HANDLE thread = dumpWriter.Asked != nullptr && dumpWriter.Answered != nullptr
                            ? CreateThread(nullptr, 0, RunDumpWriter, nullptr, 0, nullptr)
                            : nullptr;
  if (thread == nullptr) {
    dumpWriter.Unavailable = HRESULT_FROM_WIN32(GetLastError());
    return;
  }
  CloseHandle(thread);
  // Ready before the program goes on: a writer still starting when a crash comes would need the
  // loader lock too. One that does not start in time is never asked (its late "ready" would read
  // as an answer).
  if (WaitForSingleObject(dumpWriter.Answered, DumpWaitMilliseconds) != WAIT_OBJECT_0) {
    dumpWriter.Unavailable = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
  }
}

// Hands the writer the minidump to write at pathWide and waits for it DumpWaitMilliseconds at
// most. The outcome, or nothing when the wait ran out: the writer may still be at work, and
// nothing it uses may be touched again.
std::optional<HRESULT> WriteMinidump(const CrashCause& cause) {
  if (dumpWriter.Unavailable != S_OK) return dumpWriter.Unavailable;
  static_assert(sizeof dumpWriter.Path == sizeof pathWide);
  std::memcpy(dumpWriter.Path, pathWide, sizeof pathWide);
  dumpWriter.Exception.ThreadId = GetCurrentThreadId();
  dumpWriter.Exception.ExceptionPointers = const_cast<EXCEPTION_POINTERS*>(cause.Exception);
  dumpWriter.Exception.ClientPointers = FALSE;
  dumpWriter.HasException = cause.Exception != nullptr;
  if (!SetEvent(dumpWriter.Asked)) return HRESULT_FROM_WIN32(GetLastError());
  if (WaitForSingleObject(dumpWriter.Answered, DumpWaitMilliseconds) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  return dumpWriter.Result;
}

// The addresses of the stack from context on, each with its module; the count found.
int WalkStack(CONTEXT context) {
  const auto* block = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
  const auto low = reinterpret_cast<DWORD64>(block->StackLimit);
  const auto high = reinterpret_cast<DWORD64>(block->StackBase);
  int count = 0;
  while (count < MaxFrames && context.Rip != 0) {
    frames[count++].Address = context.Rip;
    const DWORD64 previous = context.Rsp;
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (function == nullptr) {
      // A leaf function: the return address is at the top of the stack.
      if (context.Rsp < low || context.Rsp + 8 > high) break;
      context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
      context.Rsp += 8;
    } else {
      PVOID handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                       &establisher, nullptr);
    }
    if (context.Rsp <= previous || context.Rsp < low || context.Rsp > high) break;
  }
  for (int i = 0; i < count; ++i) {
    frames[i].ModuleSize = 0;
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(frames[i].Address), &module)) {
      continue;
    }
    const DWORD length = GetModuleFileNameW(module, moduleWide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) continue;
    DWORD name = length;
    while (name > 0 && moduleWide[name - 1] != L'\\' && moduleWide[name - 1] != L'/') --name;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, moduleWide + name, static_cast<int>(length - name),
                            frames[i].Module, sizeof frames[i].Module, nullptr, nullptr);
    frames[i].ModuleSize = size > 0 ? static_cast<std::size_t>(size) : 0;
    frames[i].Offset = frames[i].Address - reinterpret_cast<DWORD64>(module);
  }
  return count;
}

std::string_view ExceptionName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return "access violation";
    case EXCEPTION_STACK_OVERFLOW:
      return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION:
      return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return "integer division by zero";
    case EXCEPTION_IN_PAGE_ERROR:
      return "in-page error";
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return "misaligned data";
  }
  return "exception";
}

// Writes the report, the notice for the next start, the minidump and a line on standard error.
void Report(const CrashCause& cause, const CONTEXT& context) {
  FILETIME utc{};
  FILETIME local{};
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
  };
  // File times count 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
  const CalendarTime now =
      CalendarTimeOf(ticks(local) / 10000000 - 11644473600LL,
                     static_cast<int>((ticks(local) - ticks(utc)) / 600000000));

  MakeReportFolder();
  const HANDLE report = reportFolder[0] != '\0' ? CreateReport(now) : INVALID_HANDLE_VALUE;

  const DWORD code =
      cause.Exception != nullptr ? cause.Exception->ExceptionRecord->ExceptionCode : 0;
  FixedText text(reportText, sizeof reportText);
  text.Add(programName).Add(": crashed (");
  if (cause.Exception != nullptr) {
    text.Add("exception 0x").AddHex(code, 8);
  } else {
    text.Add(cause.Call);
  }
  text.Add("); ");
  if (report != INVALID_HANDLE_VALUE) {
    text.Add("report: ").Add(pathText).Add(".txt\n");
  } else {
    text.Add(reportFolder[0] == '\0' ? "no folder for a report is known (no home folder)"
                                     : "no report could be written in ")
        .Add(reportFolder)
        .Add("\n");
  }
  const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
  if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE) {
    WriteAll(standardError, text.View());
  }
  if (report == INVALID_HANDLE_VALUE) return;

  text.Clear();
  text.Add("Crash report of ").Add(programName).Add("\r\nversion: ").Add(programVersion);
  text.Add("\r\ntime: ");
  AddIsoTime(text, now);
  text.Add("\r\nprocess: ").AddDecimal(GetCurrentProcessId());
  text.Add(", thread: ").AddDecimal(GetCurrentThreadId()).Add("\r\n");
  if (cause.Exception != nullptr) {
    const EXCEPTION_RECORD& record = *cause.Exception->ExceptionRecord;
    text.Add("exception: 0x").AddHex(code, 8).Add(" (").Add(ExceptionName(code)).Add(")\r\n");
    text.Add("address: 0x").AddHex(reinterpret_cast<DWORD64>(record.ExceptionAddress), 16);
    text.Add("\r\n");
    if ((code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_IN_PAGE_ERROR) &&
        record.NumberParameters >= 2) {
      const ULONG_PTR kind = record.ExceptionInformation[0];
      text.Add(kind == 0 ? "read" : kind == 1 ? "write" : "execution").Add(" at 0x");
      text.AddHex(record.ExceptionInformation[1], 16).Add("\r\n");
    }
  } else {
    text.Add("cause: ").Add(cause.Call).Add("\r\n");
    if (cause.Detail != nullptr) text.Add("exception: ").Add(cause.Detail).Add("\r\n");
  }
  const int count = WalkStack(context);
  text.Add("stack:\r\n");
  for (int i = 0; i < count; ++i) {
    AddStackLine(text, i, frames[i].Address,
                 std::string_view(frames[i].Module, frames[i].ModuleSize), frames[i].Offset);
    text.Add("\r\n");
  }
  WriteAll(report, text.View());

  // The notice, naming the text report, comes before the minidump: whatever becomes of the dump,
  // the next start tells of the crash.
  const std::size_t stem = std::string_view(pathText).size();
  FixedText(pathText + stem, sizeof pathText - stem).Add(".txt").CString();
  WriteNotice();

  // The minidump: every thread's stack and registers, the modules, the exception. The report
  // says where it goes before the wait, and how it ended only when that is known in time: once
  // the wait runs out nothing more is written, and the process ends at once.
  FixedText(pathText + stem, sizeof pathText - stem).Add(".dmp").CString();
  text.Clear();
  text.Add("minidump: writing ").Add(pathText).Add(", for 10 s at most\r\n");
  WriteAll(report, text.View());
  const std::optional<HRESULT> dump =
      WidenPath(pathText) ? WriteMinidump(cause) : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (!dump) return;
  text.Clear();
  if (SUCCEEDED(*dump)) {
    text.Add("minidump: written\r\n");
  } else {
    text.Add("minidump: not written (error 0x").AddHex(static_cast<DWORD>(*dump), 8).Add(")\r\n");
  }
  WriteAll(report, text.View());
  CloseHandle(report);
}

// Whether this thread reports. A crash inside the report ends the process at once; a crash of
// another thread meanwhile waits for the report to end the process.
bool TakeReporting() {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  const LONG owner = InterlockedCompareExchange(&reportingThread, self, 0);
  if (owner == 0) return true;
  if (owner != self) Sleep(ReportWaitMilliseconds);
  return false;
}

// Reports a call of the runtime that ends the process, then ends it with code.
[[noreturn]] void ReportCallAndEnd(const char* call, const char* detail, DWORD code) {
  if (TakeReporting()) {
    CONTEXT context{};
    RtlCaptureContext(&context);
    Report(CrashCause{nullptr, call, detail}, context);
  }
  TerminateProcess(GetCurrentProcess(), code);
  std::_Exit(static_cast<int>(code));
}

// Ends the process with the exception's code once reported, as Windows would without a debugger;
// Windows Error Reporting is not asked to send anything.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (TakeReporting()) Report(CrashCause{exception, nullptr, nullptr}, *exception->ContextRecord);
  // Ended here, not by returning: the system would end the process with ExitProcess, which runs
  // every library's detach code while the minidump's writer may still be inside dbghelp or hold a
  // lock they need; TerminateProcess notifies no library.
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
  ReportCallAndEnd("std::terminate", CurrentExceptionText(), AbortCode);
}

void __cdecl OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                                uintptr_t) {
  ReportCallAndEnd("invalid parameter of the C runtime", nullptr, InvalidParameterCode);
}

void __cdecl OnAbort(int) {
  ReportCallAndEnd("abort", nullptr, AbortCode);
}

}  // namespace

void InstallCrashReporter(const std::string& folder, const std::string& program,
                          const std::string& version) {
  CopyText(reportFolder, sizeof reportFolder, folder);
  CopyText(programName, sizeof programName, program);
  CopyText(programVersion, sizeof programVersion, version);
  PrepareThreadForCrashReports();
  StartDumpWriter();
  SetUnhandledExceptionFilter(OnUnhandledException);
  _set_invalid_parameter_handler(OnInvalidParameter);
  std::signal(SIGABRT, OnAbort);
  std::set_terminate(OnTerminate);
}

void KeepCrashTimeCurrent() {
  // The crash itself reads the offset in force (FileTimeToLocalFileTime), summer time included.
}

void PrepareThreadForCrashReports() {
  // Room on this thread's stack for the report after a stack overflow.
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
}

}  // namespace varo
