# Part of the install step (cmake --install, cpack): writes the systemd user unit and the autostart
# entry with the path the program gets under this install's prefix, then installs them.
foreach(folder VARO_BINDIR VARO_UNIT_DIR VARO_AUTOSTART_DIR)
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
