# What an install holds beside the programs, the icon and the desktop entry: a systemd user unit
# for the headless server, an autostart entry for the tray program, both manual pages and the
# licence; and the Debian package that CPack makes of it all (scripts/package).
include(GNUInstallDirs)

set(VARO_PACKAGE_NAME quillmarch-varo-server)
set(VARO_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Folder of systemd user units, relative to the install prefix or absolute")
set(VARO_AUTOSTART_DIR "${CMAKE_INSTALL_DATADIR}/${VARO_PACKAGE_NAME}/autostart")
set(VARO_PACKAGE_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/${VARO_PACKAGE_NAME}")
set(VARO_PACKAGING_SOURCE "${PROJECT_SOURCE_DIR}/packaging")
set(VARO_PACKAGING_BINARY "${PROJECT_BINARY_DIR}/packaging")

# The unit, the autostart entry and the desktop entry start the program by its installed path,
# and the server's manual page names the installed files, all known only when installing:
# `cmake --install --prefix` and CPack both install under another prefix than the one configured.
find_program(VARO_GZIP gzip REQUIRED)
if(TARGET quillmarch-varo-server)
  set(varo_desktop_entry "${PROJECT_SOURCE_DIR}/src/shell/qt/quillmarch-varo-server.desktop.in")
else()
  set(varo_desktop_entry "")
endif()
install(CODE "
  set(VARO_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(VARO_UNIT_DIR [[${VARO_SYSTEMD_USER_UNIT_DIR}]])
  set(VARO_AUTOSTART_DIR [[${VARO_AUTOSTART_DIR}]])
  set(VARO_APPLICATIONS_DIR [[${CMAKE_INSTALL_DATADIR}/applications]])
  set(VARO_MAN1_DIR [[${CMAKE_INSTALL_MANDIR}/man1]])
  set(VARO_DESKTOP_ENTRY [[${varo_desktop_entry}]])
  set(VARO_SERVER_PAGE [[${PROJECT_SOURCE_DIR}/docs/man/quillmarch-varo-server.1]])
  set(VARO_GZIP [[${VARO_GZIP}]])
  set(VARO_PACKAGING_SOURCE [[${VARO_PACKAGING_SOURCE}]])
  set(VARO_PACKAGING_BINARY [[${VARO_PACKAGING_BINARY}]])
  include([[${CMAKE_CURRENT_LIST_DIR}/InstallLaunchers.cmake]])
")

# Manual pages and the Debian changelog are installed compressed, reproducibly (no name or time
# stamp in the gzip header); the server's page when installing, the others here.
# varo_gzip_file(SOURCE OUTPUT): OUTPUT is SOURCE compressed, and its name ends in .gz.
function(varo_gzip_file source output)
  string(REGEX REPLACE "[.]gz$" "" plain "${output}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E copy "${source}" "${plain}"
    COMMAND "${VARO_GZIP}" -n -9 -f "${plain}"
    DEPENDS "${source}"
    VERBATIM)
endfunction()

set(varo_compressed)
foreach(page quillmarch-varo-client.1)
  varo_gzip_file("${PROJECT_SOURCE_DIR}/docs/man/${page}" "${VARO_PACKAGING_BINARY}/${page}.gz")
  list(APPEND varo_compressed "${VARO_PACKAGING_BINARY}/${page}.gz")
  install(FILES "${VARO_PACKAGING_BINARY}/${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
varo_gzip_file("${VARO_PACKAGING_SOURCE}/changelog" "${VARO_PACKAGING_BINARY}/changelog.Debian.gz")
list(APPEND varo_compressed "${VARO_PACKAGING_BINARY}/changelog.Debian.gz")
add_custom_target(varo_compressed_docs ALL DEPENDS ${varo_compressed})

# The licence in the machine-readable form Debian reads; it serves any other install as well.
install(FILES "${VARO_PACKAGING_SOURCE}/copyright" DESTINATION "${VARO_PACKAGE_DOC_DIR}")
# The guide for the people who use the program, in Italian as the program's own texts.
install(FILES "${PROJECT_SOURCE_DIR}/docs/GUIDA.md" DESTINATION "${VARO_PACKAGE_DOC_DIR}")
# The Debian changelog and lintian's overrides belong to the package only: CPack installs this
# component as well.
install(FILES "${VARO_PACKAGING_BINARY}/changelog.Debian.gz" DESTINATION "${VARO_PACKAGE_DOC_DIR}"
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES "${VARO_PACKAGING_SOURCE}/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME ${VARO_PACKAGE_NAME}
        COMPONENT debian EXCLUDE_FROM_ALL)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VARO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillmarch Varo Server developers")
set(CPACK_PACKAGE_CONTACT "Quillmarch Varo Server developers <developers@quillmarch.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "UDP request server for stored Totocalcio and Totogol systems")
set(CPACK_PACKAGE_DESCRIPTION_FILE "${VARO_PACKAGING_SOURCE}/description")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the package's own changes count apart from the program's version, and
# packaging/changelog names both.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "Registro eventi" opens the event log through xdg-open (without it the menu item says so); Qt's
# own words (the log's menu, standard buttons) in the user's language come from its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
