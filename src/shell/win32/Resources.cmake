# The program's resources: its icon and the icon's warning look (both made from their drawings by
# scripts/make-windows-icons), its version information and its application manifest (included
# from win32/Program.cmake).

# The version as four numbers, missing parts 0: 1.15 is 1.15.0.0.
set(varo_version_parts "")
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND varo_version_parts 0)
  else()
    list(APPEND varo_version_parts ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(JOIN varo_version_parts "," VARO_VERSION_NUMBERS)
list(JOIN varo_version_parts "." VARO_VERSION_TEXT)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ResourceVersion.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/resources/ResourceVersion.h @ONLY)

target_sources(quillmarch-varo-server PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Resources.rc)
# The resource compiler finds the icon, the manifest and the configured header by these folders.
target_include_directories(quillmarch-varo-server PRIVATE
  ${CMAKE_CURRENT_BINARY_DIR}/resources ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/../icons)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/Resources.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/quillmarch-varo-server.manifest
  ${CMAKE_CURRENT_LIST_DIR}/../icons/quillmarch-varo-server.ico
  ${CMAKE_CURRENT_LIST_DIR}/../icons/quillmarch-varo-server-warning.ico)
