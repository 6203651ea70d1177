# Cross-compiles for 64-bit Windows with mingw-w64 (posix threads, so std::thread and std::mutex
# work), links statically so the .exe needs no DLL beside it, and runs test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VARO_WINE NAMES wine wine64)
find_program(VARO_ENV NAMES env)
if(VARO_WINE)
  # Wine spells Unix file names in the C library's character set, which is ASCII without a UTF-8
  # locale: every test that writes a name beyond ASCII would fail on a shell with no LANG.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARO_ENV} LC_ALL=C.UTF-8 ${VARO_WINE})
endif()
