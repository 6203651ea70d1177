# The native Windows desktop program (included from src/shell/CMakeLists.txt): wide-character
# Win32, the GUI subsystem, wWinMain as its entry.
add_executable(quillmarch-varo-server WIN32
  win32/main.cpp
  win32/Win32Toolkit.cpp
  win32/UPrincipale.cpp
  win32/LogView.cpp
  win32/TrayIcon.cpp
  win32/ProgramIcon.cpp
  win32/PostedHandOver.cpp
  win32/Win32UserDialogs.cpp
  win32/DialogTemplate.cpp
  win32/ShownText.cpp
  win32/InheritedStreams.cpp
  win32/WindowsPlaces.cpp)
target_link_libraries(quillmarch-varo-server PRIVATE varo_shell_core comctl32 shell32 user32 gdi32)
target_link_options(quillmarch-varo-server PRIVATE -municode)
include(win32/Resources.cmake)
