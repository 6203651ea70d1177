// Linux: the crash reporter as handlers of the fault signals, run on a stack of their own so that
// a stack overflow is reported too, and a terminate handler. What runs in a handler makes
// async-signal-safe calls only (open, read, write, close, mkdir, clock_gettime); backtrace() is
// first called at installation, so the unwinder's library is loaded then, not while crashing.
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

#include "platform/CrashReporter.h"
#include "platform/StandardStreams.h"
#include "platform/posix/ProcessMaps.h"
#include "records/CalendarTime.h"
#include "records/CrashReportText.h"

namespace varo {

namespace {

constexpr int CrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int MaxFrames = 64;

// Prepared at installation, read while crashing.
char reportFolder[4096];
char programName[128];
char programVersion[64];
char journalPrefix[8];
// Kept current by KeepCrashTimeCurrent; lock-free, so a signal handler may read it.
std::atomic<long> utcOffsetSeconds{0};
static_assert(std::atomic<long>::is_always_lock_free);
int spareDescriptor = -1;
alignas(16) unsigned char alternateStack[64 * 1024];

// Written by the one thread that reports; static, so the stack of a crashing thread is spared.
std::atomic<long> reportingThread{0};
char pathText[4352];
char noticePathText[4352];
char reportText[16384];  // room for every frame with a long module name
char mapsLine[1024];
char mapsChunk[4096];
void* frames[MaxFrames];
struct FrameModule {
  char Name[128];
  std::size_t NameSize;
  std::uint64_t Offset;
};
FrameModule modules[MaxFrames + 1];
std::uint64_t addresses[MaxFrames + 1];

// What ended the process: a signal with its details, or std::terminate with its exception.
struct CrashCause {
  int Signal = 0;
  const siginfo_t* Info = nullptr;
  const void* Context = nullptr;
  const char* Exception = nullptr;
};

std::string_view SignalName(int number) {
  switch (number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGILL:
      return "SIGILL";
    case SIGFPE:
      return "SIGFPE";
    case SIGABRT:
      return "SIGABRT";
  }
  return "signal";
}

void WriteAll(int descriptor, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(descriptor, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Makes the report folder and the folders above it; what exists already is left as it is.
void MakeReportFolder() {
  if (reportFolder[0] == '\0') return;
  FixedText path(pathText, sizeof pathText);
  path.Add(reportFolder);
  char* text = const_cast<char*>(path.CString());
  for (char* c = text + 1; *c != '\0'; ++c) {
    if (*c != '/') continue;
    *c = '\0';
    ::mkdir(text, 0700);
    *c = '/';
  }
  ::mkdir(text, 0700);
}

// Creates the report file, named by the local time; a second crash in the same second gets
// "-2" and so on. The descriptor, or -1.
int CreateReport(const CalendarTime& now) {
  for (int attempt = 1; attempt <= 9; ++attempt) {
    FixedText path(pathText, sizeof pathText);
    path.Add(reportFolder).Add("/crash-");
    AddFileNameTime(path, now);
    if (attempt > 1) path.Add("-").AddDecimal(attempt);
    path.Add(".txt");
    const int descriptor =
        ::open(path.CString(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

// Names the module each of the count addresses lies in, from the process's mapped ranges; the
// offset is counted from where the module's file is mapped from its start.
void NameModules(int count) {
  for (int i = 0; i < count; ++i) modules[i].NameSize = 0;
  const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return;
  std::size_t lineSize = 0;
  std::uint64_t base = 0;
  char basePath[256];
  std::size_t basePathSize = 0;
  for (;;) {
    const ssize_t got = ::read(maps, mapsChunk, sizeof mapsChunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t k = 0; k < got; ++k) {
      if (mapsChunk[k] != '\n') {
        if (lineSize < sizeof mapsLine) mapsLine[lineSize++] = mapsChunk[k];
        continue;
      }
      MappedRange range{};
      const std::string_view line(mapsLine, lineSize);
      lineSize = 0;
      if (!ParseMapsLine(line, range) || range.Path.empty()) continue;
      if (range.FileOffset == 0 && range.Path.size() <= sizeof basePath) {
        base = range.Start;
        basePathSize = range.Path.size();
        for (std::size_t j = 0; j < basePathSize; ++j) basePath[j] = range.Path[j];
      }
      const bool fromBase = std::string_view(basePath, basePathSize) == range.Path;
      const std::size_t slash = range.Path.rfind('/');
      const std::string_view name =
          slash == std::string_view::npos ? range.Path : range.Path.substr(slash + 1);
      for (int i = 0; i < count; ++i) {
        if (addresses[i] < range.Start || addresses[i] >= range.End) continue;
        FixedText moduleName(modules[i].Name, sizeof modules[i].Name);
        moduleName.Add(name);
        modules[i].NameSize = moduleName.View().size();
        modules[i].Offset =
            fromBase ? addresses[i] - base : addresses[i] - range.Start + range.FileOffset;
      }
    }
  }
  ::close(maps);
}

std::uint64_t InstructionAddress(const void* context) {
  if (context == nullptr) return 0;
  const auto* user = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<std::uint64_t>(user->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return user->uc_mcontext.pc;
#else
  (void)user;
  return 0;
#endif
}

// Writes the report, the notice for the next start and a line on standard error.
void Report(const CrashCause& cause) {
  // A process out of descriptors gets one back for the report.
  if (spareDescriptor >= 0) ::close(spareDescriptor);

  timespec clock{};
  ::clock_gettime(CLOCK_REALTIME, &clock);
  const long offset = utcOffsetSeconds.load(std::memory_order_relaxed);
  const CalendarTime now = CalendarTimeOf(clock.tv_sec + offset, static_cast<int>(offset / 60));
  MakeReportFolder();
  const int report = reportFolder[0] != '\0' ? CreateReport(now) : -1;

  FixedText text(reportText, sizeof reportText);
  text.Add(journalPrefix).Add(programName).Add(": crashed (");
  text.Add(cause.Signal != 0 ? SignalName(cause.Signal) : "std::terminate").Add("); ");
  if (report >= 0) {
    text.Add("report: ").Add(pathText).Add("\n");
  } else {
    text.Add(reportFolder[0] == '\0' ? "no folder for a report is known (no home folder)"
                                     : "no report could be written in ")
        .Add(reportFolder)
        .Add("\n");
  }
  WriteAll(2, text.View());
  if (report < 0) return;
  FixedText(noticePathText, sizeof noticePathText).Add(pathText).CString();

  text.Clear();
  text.Add("Crash report of ").Add(programName).Add("\nversion: ").Add(programVersion);
  text.Add("\ntime: ");
  AddIsoTime(text, now);
  text.Add("\nprocess: ").AddDecimal(::getpid());
  text.Add(", thread: ").AddDecimal(::syscall(SYS_gettid)).Add("\n");
  if (cause.Signal != 0) {
    text.Add("signal: ").AddDecimal(cause.Signal).Add(" (").Add(SignalName(cause.Signal));
    text.Add("), code ").AddDecimal(cause.Info != nullptr ? cause.Info->si_code : 0).Add("\n");
    if (cause.Info != nullptr && cause.Info->si_code <= 0) {
      // Sent by kill or raise rather than by a fault: there is no faulting address.
      text.Add("sent by process ").AddDecimal(cause.Info->si_pid).Add("\n");
    } else if (cause.Info != nullptr) {
      text.Add("address: 0x").AddHex(reinterpret_cast<std::uintptr_t>(cause.Info->si_addr), 16);
      text.Add("\n");
    }
  } else {
    text.Add("cause: std::terminate\n");
    if (cause.Exception != nullptr) text.Add("exception: ").Add(cause.Exception).Add("\n");
  }

  // The interrupted instruction first, then the stack as the unwinder finds it (through the
  // handler's own frames and the signal's).
  int count = 0;
  if (const std::uint64_t instruction = InstructionAddress(cause.Context); instruction != 0) {
    addresses[count++] = instruction;
  }
  const int found = ::backtrace(frames, MaxFrames);
  for (int i = 0; i < found && count <= MaxFrames; ++i) {
    addresses[count++] = reinterpret_cast<std::uintptr_t>(frames[i]);
  }
  NameModules(count);
  text.Add("stack:\n");
  for (int i = 0; i < count; ++i) {
    AddStackLine(text, i, addresses[i], std::string_view(modules[i].Name, modules[i].NameSize),
                 modules[i].Offset);
    text.Add("\n");
  }
  WriteAll(report, text.View());
  ::close(report);

  FixedText notice(pathText, sizeof pathText);
  notice.Add(reportFolder).Add("/").Add(CrashNoticeFileName);
  const int noticeFile =
      ::open(notice.CString(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (noticeFile >= 0) {
    WriteAll(noticeFile, noticePathText);
    WriteAll(noticeFile, "\n");
    ::close(noticeFile);
  }
}

// Whether this thread reports. A crash inside the report ends the process at once; a crash of
// another thread meanwhile waits for the report to end the process (at most ten seconds).
bool TakeReporting() {
  const long self = ::syscall(SYS_gettid);
  long expected = 0;
  if (reportingThread.compare_exchange_strong(expected, self)) return true;
  if (expected == self) return false;
  const timespec pause{0, 100 * 1000 * 1000};
  for (int i = 0; i < 100; ++i) ::nanosleep(&pause, nullptr);
  return false;
}

// Ends with the signal's default action, so a core dump and the service manager see the crash as
// it was: the signal is sent again and taken when the handler returns (or at once outside one).
void EndByDefault(int number) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(number, &action, nullptr);
  ::raise(number);
}

extern "C" void OnCrashSignal(int number, siginfo_t* info, void* context) {
  if (TakeReporting()) Report(CrashCause{number, info, context, nullptr});
  EndByDefault(number);
}

void OnTerminate() {
  if (TakeReporting()) {
    CrashCause cause;
    cause.Exception = CurrentExceptionText();
    Report(cause);
  }
  // Without the report a second time for the abort that ends it.
  EndByDefault(SIGABRT);
  std::_Exit(128 + SIGABRT);
}

}  // namespace

void KeepCrashTimeCurrent() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) != nullptr) {
    utcOffsetSeconds.store(local.tm_gmtoff, std::memory_order_relaxed);
  }
}

void InstallCrashReporter(const std::string& folder, const std::string& program,
                          const std::string& version) {
  CopyText(reportFolder, sizeof reportFolder, folder);
  CopyText(programName, sizeof programName, program);
  CopyText(programVersion, sizeof programVersion, version);
  CopyText(journalPrefix, sizeof journalPrefix, ErrorLinePrefix(Severity::Error));
  KeepCrashTimeCurrent();
  void* warmUp[1];
  ::backtrace(warmUp, 1);
  spareDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
  // The signal's mask and flags are the process's; each thread has a stack of its own for them.
  struct sigaction action {};
  action.sa_sigaction = OnCrashSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  for (int number : CrashSignals) ::sigaction(number, &action, nullptr);
  std::set_terminate(OnTerminate);
}

void PrepareThreadForCrashReports() {
  // A stack overflow leaves no room on the thread's own stack for the handler: it runs on one of
  // its own, given up when the thread ends.
  struct AlternateStack {
    std::unique_ptr<unsigned char[]> Memory{new unsigned char[64 * 1024]};
    AlternateStack() {
      stack_t stack{};
      stack.ss_sp = Memory.get();
      stack.ss_size = 64 * 1024;
      ::sigaltstack(&stack, nullptr);
    }
    ~AlternateStack() {
      stack_t off{};
      off.ss_flags = SS_DISABLE;
      ::sigaltstack(&off, nullptr);
    }
  };
  thread_local AlternateStack alternate;
  (void)alternate;
}

}  // namespace varo
