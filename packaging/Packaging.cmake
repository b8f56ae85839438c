# The manual pages and the AppStream metadata, installed by `cmake --install` as well,
# and the Debian package built from the install rules: `cpack -G DEB` in the build
# tree (scripts/package.sh) writes vantrel_<version>-<release>_<arch>.deb there.

set(VANTREL_DEB_RELEASE 1)
set(_packaging ${CMAKE_CURRENT_LIST_DIR})
set(_generated ${CMAKE_BINARY_DIR}/packaging)
find_program(VANTREL_GZIP gzip REQUIRED)

# Manual pages carry the version; they and the package's changelog are compressed as
# Debian wants them (-n: no name or time inside, so that builds are repeatable).
set(_compressed)
function(vantrel_compressed source output)
  configure_file(${source} ${_generated}/plain/${output} @ONLY)
  add_custom_command(
    OUTPUT ${_generated}/${output}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${_generated}/plain/${output} ${_generated}/${output}
    COMMAND ${VANTREL_GZIP} -9nf ${_generated}/${output}
    DEPENDS ${_generated}/plain/${output}
    VERBATIM)
  set(_compressed ${_compressed} ${_generated}/${output}.gz PARENT_SCOPE)
endfunction()

set(_man_pages vantrel-headless.1)
if(TARGET vantrel)
  list(APPEND _man_pages vantrel.1)
endif()
foreach(page ${_man_pages})
  vantrel_compressed(${CMAKE_SOURCE_DIR}/resources/man/${page} man1/${page})
  install(FILES ${_generated}/man1/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
vantrel_compressed(${_packaging}/changelog.Debian changelog.Debian)
add_custom_target(packaging_files ALL DEPENDS ${_compressed})

if(TARGET vantrel)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/org.example.vantrel.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# What only the package holds: a plain install leaves these out, the package's own
# install step below adds them.
install(FILES ${_packaging}/copyright ${_generated}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${_packaging}/lintian-overrides RENAME vantrel
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel developers")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <vantrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "emulator of the TI-85 graphing calculator")
# Lines kept under 80 columns, as Debian's tools want them.
set(CPACK_PACKAGE_DESCRIPTION [=[
Vantrel runs a TI-85 graphing calculator from a dump of its ROM: the Z80
processor instruction by instruction, the ROM banking, RAM, I/O ports, the
128 x 64 LCD, the keypad and the link port, in one window with the LCD above
a keypad that the mouse and the PC keyboard both press. The calculator's state
is kept between runs; variable files go to the calculator and come back from
it over an emulated link cable; screenshots of the LCD go to the clipboard or
into files; a debugger steps through the calculator's code.

The runner vantrel-headless plays keys, text and uploads without a window,
for scripts and tests.

The ROM is not included. A small demo firmware of Vantrel's own comes with
the package, so that the program can be tried without one.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VANTREL_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt 6, the C++ runtime), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# The package built, checked and installed into a root of its own, then removed; from
# the optimised build only, the one that the package is made from.
if(TARGET vantrel AND TARGET firmware AND NOT VANTREL_SANITIZE AND NOT VANTREL_BUILD_FUZZ)
  add_test(NAME DebianPackage
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/package_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(DebianPackage PROPERTIES LABELS package TIMEOUT 300)
endif()
