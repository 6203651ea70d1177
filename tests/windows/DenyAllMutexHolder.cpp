// A stand-in for an instance of the program started as administrator, as a normal user's
// installer meets it: it holds a mutex of the name given whose access list lets nobody in, so
// opening it fails with access denied. Prints "held" once the mutex is there, then holds it until
// it is ended, 120 seconds at the most.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: deny-all-mutex-holder NAME\n", stderr);
    return 2;
  }
  // An access list with no entry denies every access to everyone; a missing list would allow all.
  ACL empty;
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE)) {
    std::fprintf(stderr, "no security descriptor: error %lu\n", GetLastError());
    return 1;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  const HANDLE mutex = CreateMutexW(&attributes, FALSE, argv[1]);
  if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    std::fprintf(stderr, "the mutex could not be made anew: error %lu\n", GetLastError());
    return 1;
  }
  // Held only if another opener is refused as it would be on Windows (SYNCHRONIZE alone is
  // granted by Wine whatever the list says, so it proves nothing there).
  const HANDLE opened = OpenMutexW(MUTEX_MODIFY_STATE, FALSE, argv[1]);
  if (opened != nullptr || GetLastError() != ERROR_ACCESS_DENIED) {
    std::fprintf(stderr, "the mutex lets others in: error %lu\n", GetLastError());
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  Sleep(120 * 1000);
  CloseHandle(mutex);
  return 0;
}
