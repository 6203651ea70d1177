// A program that crashes on purpose, for the crash reporter's test on Windows: it installs the
// reporter with the folder its first argument names, then writes through a null pointer. A second
// argument says how: "loader-lock" holds the system's loader lock while crashing, "no-new-threads"
// lets no thread start from then on, "dump-taken" first takes the minidump's names of the next
// seconds.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/CrashReporter.h"
#include "platform/win32/Windows.h"

namespace {

LONG volatile newThreadsStuck = 0;

// Called by the loader for every thread that starts: with the switch on, none gets past it, as
// when a library's thread start-up waits for a lock the crash left held.
void NTAPI OnThreadStart(void*, DWORD reason, void*) {
  if (reason == DLL_THREAD_ATTACH && newThreadsStuck != 0) Sleep(INFINITE);
}
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK probeThreadStart =
    OnThreadStart;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return 2;
  const std::string how = argc == 3 ? argv[2] : "";
  varo::InstallCrashReporter(argv[1], "crash-probe", "9.9.9");
  if (how == "loader-lock") {
    using LockLoaderLock = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
    const auto lock = reinterpret_cast<LockLoaderLock>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG disposition = 0;
    ULONG_PTR cookie = 0;
    if (lock == nullptr || lock(0, &disposition, &cookie) != 0) return 3;
  }
  if (how == "no-new-threads") newThreadsStuck = 1;
  if (how == "dump-taken") {
    std::filesystem::create_directories(argv[1]);
    for (std::time_t second = std::time(nullptr), end = second + 5; second < end; ++second) {
      char name[48];
      std::strftime(name, sizeof name, "\\crash-%Y-%m-%dT%H%M%S.dmp", std::localtime(&second));
      std::ofstream(argv[1] + std::string(name));
    }
  }
  // Volatile, so the compiler cannot know the pointer is null and put a trap in the write's place.
  int* volatile nowhere = nullptr;
  *nowhere = 1;
  return 0;
}
