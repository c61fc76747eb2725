# What ships beside the programs (the README, the licence, the manual pages) and the packages
# CPack makes of an install: on Linux a Debian package, on Windows a .zip to unpack anywhere and
# an installer for the person who runs it (no administrator rights).
#   cpack --preset linux     build/packages/marlowin_<version>_amd64.deb
#   cpack --preset windows   build/packages/marlowin-<version>-win64.zip
#                            build/packages/marlowin-<version>-win64-setup.exe
set(MARLOWIN_PACKAGE_MAINTAINER "The Marlowin developers <marlowin@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

# The README of the Windows folder: plain text for the person who unpacks it, with CRLF line ends
# for every editor there. Made on every build, so that its test runs everywhere.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${PROJECT_BINARY_DIR}/packaging/README.lf.txt @ONLY)
file(READ ${PROJECT_BINARY_DIR}/packaging/README.lf.txt marlowin_readme)
string(REPLACE "\n" "\r\n" marlowin_readme "${marlowin_readme}")
file(WRITE ${PROJECT_BINARY_DIR}/packaging/README.txt "${marlowin_readme}")
set(MARLOWIN_WINDOWS_README ${PROJECT_BINARY_DIR}/packaging/README.txt)

if(WIN32)
  # Plain text files that Notepad opens from Explorer.
  install(FILES ${MARLOWIN_WINDOWS_README} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/marlowin)
  set(out ${PROJECT_BINARY_DIR}/packaging)

  # The licence as Debian's machine-readable copyright file: its text indented, blank lines as " .".
  # The licence's title and its copyright line, "Copyright (c) YEAR HOLDER", go to their own fields.
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
  list(GET license_lines 2 MARLOWIN_COPYRIGHT)
  string(REGEX REPLACE "^Copyright \\(c\\) " "" MARLOWIN_COPYRIGHT "${MARLOWIN_COPYRIGHT}")
  list(REMOVE_AT license_lines 0 1 2 3)
  set(MARLOWIN_LICENSE_TEXT)
  foreach(line IN LISTS license_lines)
    if(line STREQUAL "")
      set(line ".")
    endif()
    string(APPEND MARLOWIN_LICENSE_TEXT " ${line}\n")
  endforeach()
  string(STRIP "${MARLOWIN_LICENSE_TEXT}" MARLOWIN_LICENSE_TEXT)
  set(MARLOWIN_LICENSE_TEXT " ${MARLOWIN_LICENSE_TEXT}")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${out}/copyright @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

  # A Debian package whose version has no revision keeps its changelog as changelog.gz. The date
  # is the build's, or SOURCE_DATE_EPOCH's where that is set for a reproducible build.
  string(TIMESTAMP MARLOWIN_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${out}/changelog @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/man/marlowin.1 ${out}/marlowin.1 @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/man/marlowin-collect.1 ${out}/marlowin-collect.1 @ONLY)

  # Compressed as Debian wants them: the most, and without the name and time of the file.
  find_program(MARLOWIN_GZIP gzip REQUIRED)
  set(compressed)
  foreach(file changelog marlowin.1 marlowin-collect.1)
    add_custom_command(OUTPUT ${out}/${file}.gz
                       COMMAND ${MARLOWIN_GZIP} -9nkf ${out}/${file}
                       DEPENDS ${out}/${file} VERBATIM)
    list(APPEND compressed ${out}/${file}.gz)
  endforeach()
  add_custom_target(marlowin_compressed_docs ALL DEPENDS ${compressed})

  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${out}/copyright ${out}/changelog.gz DESTINATION ${doc_dir})
  install(FILES ${out}/marlowin.1.gz ${out}/marlowin-collect.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME marlowin)
set(CPACK_PACKAGE_VENDOR "The Marlowin developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gather the video clips of a shoot into the edit's folders")
# Lines of at most 80 characters, as Debian's package tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Marlowin copies every clip of a shoot's shot folders into the adl and int"
  "folders the edit works from, reads every copy back from the disk and checks it"
  "against the clip (XXH3-128), and only then renames the source clip to its"
  "_hires name, which marks it as collected. A source clip is never overwritten,"
  "and a copy that fails half-way leaves no broken file behind."
  ""
  "This package holds the desktop program, marlowin, and the same pass without a"
  "window for scripts, marlowin-collect.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(NOT DEFINED CPACK_PACKAGE_DIRECTORY)
  set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_FILE_NAME marlowin-${PROJECT_VERSION}-win64)
  # The .zip: one folder, marlowin-<version>-win64, holding the programs, the README and the licence.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # The installer: the template is our own (packaging/windows/NSIS.template.in), for one person
  # without administrator rights where CMake's asks for them and for Program Files.
  list(APPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
  get_property(icon_dir GLOBAL PROPERTY MARLOWIN_ICON_DIR)
  set(CPACK_NSIS_MUI_ICON ${icon_dir}/marlowin.ico)
  set(CPACK_NSIS_MUI_UNIICON ${icon_dir}/marlowin.ico)
  # Per generator, as cpack runs each: the installer's name ends in -setup.exe.
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/packaging/CPackGenerators.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
    "if(CPACK_GENERATOR STREQUAL \"NSIS\")\n"
    "  set(CPACK_PACKAGE_FILE_NAME marlowin-${PROJECT_VERSION}-win64-setup)\n"
    "  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)\n"
    "endif()\n")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MARLOWIN_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link, as dpkg-shlibdeps finds them, and Qt's platform plugins,
  # which Qt loads at run time (without them no window opens).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
