// Windows: the system headers as every Win32 source of the platform layer includes them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Names of the platform layer that windows.h defines as macros for its own A and W functions.
#undef GetPrivateProfileString
#undef WritePrivateProfileString
#undef ReplaceFile
