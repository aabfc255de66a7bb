# Install layout and the Debian package (`cpack -G DEB` in the build folder).
#
# The program folder is /usr/lib/stowline: the programs, the manual and any language
# files and skins sit side by side there, where the program looks for them (the folder
# of its executable, found through /proc/self/exe). /usr/bin/stowline is a relative
# symbolic link to it, which /proc/self/exe resolves, so starting it from the search path
# still finds the program folder. That folder is read-only for every user but root, so
# their swlinfo.dat goes to $XDG_CONFIG_HOME/stowline instead (docs/packaging.md).

set(STOWLINE_PROGRAM_FOLDER lib/stowline)

install(TARGETS stowline stowarc swlpreset RUNTIME DESTINATION ${STOWLINE_PROGRAM_FOLDER})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/manual DESTINATION ${STOWLINE_PROGRAM_FOLDER})
file(GLOB stowline_language_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/languages/*.lng)
if(stowline_language_files)
  install(FILES ${stowline_language_files} DESTINATION ${STOWLINE_PROGRAM_FOLDER})
endif()
if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/skins)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/skins DESTINATION ${STOWLINE_PROGRAM_FOLDER}
          PATTERN "CMakeLists.txt" EXCLUDE)
endif()

# file(INSTALL) copies a symbolic link as a link, so the link made here is packaged as is.
set(stowline_link ${CMAKE_BINARY_DIR}/packaging/stowline)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../${STOWLINE_PROGRAM_FOLDER}/stowline ${stowline_link} SYMBOLIC)
install(FILES ${stowline_link} DESTINATION bin)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/stowline.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/stowline.svg
  DESTINATION share/icons/hicolor/scalable/apps)
# The licence of LICENSE, referring to the GPL text the system already has, as Debian
# asks of a package under the GPL.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/stowline)

set(CPACK_PACKAGE_CONTACT "Stowline maintainers <maintainers@stowline.example>"
  CACHE STRING "Maintainer named in the Debian package")

# The package's change log (it names the project's version and the maintainer) and the
# manual page, compressed the way Debian expects (gzip -9, no name or time stamp inside).
find_program(STOWLINE_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog
  @ONLY)
set(stowline_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
set(stowline_manpage ${CMAKE_BINARY_DIR}/packaging/stowline.1.gz)
add_custom_command(OUTPUT ${stowline_changelog}
  COMMAND ${STOWLINE_GZIP} -9 -n -f -k ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_command(OUTPUT ${stowline_manpage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/stowline.1
    ${CMAKE_BINARY_DIR}/packaging/stowline.1
  COMMAND ${STOWLINE_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/packaging/stowline.1
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/stowline.1 VERBATIM)
add_custom_target(stowline_package_docs ALL DEPENDS ${stowline_changelog} ${stowline_manpage})
install(FILES ${stowline_changelog} DESTINATION share/doc/stowline)
install(FILES ${stowline_manpage} DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stowline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Programs the installed program starts: the file manager's opener for documents and the
# players for error sounds are optional.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pulseaudio-utils | alsa-utils")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop backup utility with scheduled archive jobs")
# CPack puts the summary first and indents the lines; an empty line starts a paragraph.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Stowline turns named backup jobs into archives of chosen folders and
delivers them to a destination folder, an optical disc, an e-mail
recipient or an FTP server. Jobs run on demand, on a schedule or from
the command line, old copies are cleaned up, and every run is logged.

The package includes a ZIP archiver built on libarchive, which is used
when no other archiver is installed.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
