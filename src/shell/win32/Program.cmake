# The native Windows desktop program (included from src/shell/CMakeLists.txt).
add_executable(quillmarch-varo-server WIN32
  win32/main.cpp)
target_link_libraries(quillmarch-varo-server PRIVATE varo_shell_core)
include(win32/Resources.cmake)
