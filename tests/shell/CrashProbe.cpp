// A program that crashes on purpose, for the crash reporter's test on Windows: it installs the
// reporter with the folder its one argument names, then writes through a null pointer.
#include "platform/CrashReporter.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  varo::InstallCrashReporter(argv[1], "crash-probe", "9.9.9");
  // Volatile, so the compiler cannot know the pointer is null and put a trap in the write's place.
  int* volatile nowhere = nullptr;
  *nowhere = 1;
  return 0;
}
