# Part of the install step (cmake --install, cpack): writes the systemd user unit, the autostart
# entry and the desktop entry with the path the program gets under this install's prefix, and the
# server's manual page with the paths of those files, then installs them.
foreach(folder VARO_BINDIR VARO_UNIT_DIR VARO_AUTOSTART_DIR VARO_APPLICATIONS_DIR VARO_MAN1_DIR)
  if(IS_ABSOLUTE "${${folder}}")
    set(${folder}_FULL "${${folder}}")
  else()
    set(${folder}_FULL "${CMAKE_INSTALL_PREFIX}/${${folder}}")
  endif()
endforeach()
set(VARO_PROGRAM "${VARO_BINDIR_FULL}/quillmarch-varo-server")

configure_file("${VARO_PACKAGING_SOURCE}/quillmarch-varo-server.service.in"
               "${VARO_PACKAGING_BINARY}/quillmarch-varo-server.service" @ONLY)
configure_file("${VARO_PACKAGING_SOURCE}/quillmarch-varo-server-autostart.desktop.in"
               "${VARO_PACKAGING_BINARY}/autostart/quillmarch-varo-server.desktop" @ONLY)
# file(INSTALL) adds DESTDIR and records the files in the install manifest, as install() does.
file(INSTALL DESTINATION "${VARO_UNIT_DIR_FULL}" TYPE FILE
     FILES "${VARO_PACKAGING_BINARY}/quillmarch-varo-server.service")
file(INSTALL DESTINATION "${VARO_AUTOSTART_DIR_FULL}" TYPE FILE
     FILES "${VARO_PACKAGING_BINARY}/autostart/quillmarch-varo-server.desktop")

# The desktop entry, where the desktop program is built.
if(VARO_DESKTOP_ENTRY)
  configure_file("${VARO_DESKTOP_ENTRY}"
                 "${VARO_PACKAGING_BINARY}/applications/quillmarch-varo-server.desktop" @ONLY)
  file(INSTALL DESTINATION "${VARO_APPLICATIONS_DIR_FULL}" TYPE FILE
       FILES "${VARO_PACKAGING_BINARY}/applications/quillmarch-varo-server.desktop")
endif()

# A folder as the manual page writes it: hyphens as "\-", which man shows as the character one
# types, and a possible line break after each slash.
function(varo_man_path variable folder)
  string(REPLACE "-" "\\-" text "${folder}")
  string(REPLACE "/" "/\\:" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()
varo_man_path(VARO_MAN_UNIT_DIR "${VARO_UNIT_DIR_FULL}")
varo_man_path(VARO_MAN_AUTOSTART_DIR "${VARO_AUTOSTART_DIR_FULL}")
varo_man_path(VARO_MAN_APPLICATIONS_DIR "${VARO_APPLICATIONS_DIR_FULL}")
# Compressed without name or time stamp, so that the package is reproducible.
configure_file("${VARO_SERVER_PAGE}" "${VARO_PACKAGING_BINARY}/man/quillmarch-varo-server.1" @ONLY)
execute_process(COMMAND "${VARO_GZIP}" -n -9 -f "${VARO_PACKAGING_BINARY}/man/quillmarch-varo-server.1"
                COMMAND_ERROR_IS_FATAL ANY)
file(INSTALL DESTINATION "${VARO_MAN1_DIR_FULL}" TYPE FILE
     FILES "${VARO_PACKAGING_BINARY}/man/quillmarch-varo-server.1.gz")
