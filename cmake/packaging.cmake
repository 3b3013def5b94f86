# What users install.
#
# Linux: "cmake --install <build> [--prefix DIR]" installs in the layout of
# Debian's chess engines (DIR is /usr/local unless given):
#   DIR/games/ostrel64, DIR/games/ostrel32         the programs
#   DIR/share/man/man6/ostrel64.6.gz, ostrel32.6.gz  their manual pages
#   DIR/share/games/plugins/uci/ostrel64.eng, ...  XBoard's engine list
#   DIR/share/doc/ostrel/                          README.md.gz, copyright, changelog.gz
# "cpack -G DEB" in the build folder makes the Debian package
# ostrel_<version>_amd64.deb, which installs the same under /usr.
#
# Windows: the target windows_zip of a Linux build with OSTREL_WINDOWS makes
# ostrel-<version>-windows.zip with both .exe files, a text for Windows
# users (cmake/windows-readme.txt) and the licence (COPYING).
#
# scripts/package.sh makes all of them into dist/ and checks them (lintian
# among others).

# The package's version, maintainer and date come from the latest entry of
# its changelog, the one place they are written; the version is the newest
# of the two programs' versions.
set(OSTREL_CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OSTREL_CHANGELOG})
file(STRINGS ${OSTREL_CHANGELOG} changelog_lines)
list(GET changelog_lines 0 changelog_head)
string(REGEX MATCH "^ostrel \\(([^)]+)\\)" unused "${changelog_head}")
set(OSTREL_PACKAGE_VERSION ${CMAKE_MATCH_1})
set(OSTREL_MAINTAINER "")
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- (.+ <[^>]+>)  [A-Z][a-z][a-z], ([0-9]+ [A-Z][a-z][a-z] [0-9]+) ")
    set(OSTREL_MAINTAINER ${CMAKE_MATCH_1})
    set(OSTREL_RELEASE_DATE ${CMAKE_MATCH_2})
    break()
  endif()
endforeach()
if(NOT OSTREL_PACKAGE_VERSION OR NOT OSTREL_MAINTAINER)
  message(FATAL_ERROR "${OSTREL_CHANGELOG}: no version or no trailer line in its latest entry")
endif()

if(WIN32)
  return()
endif()
include(GNUInstallDirs)

# Debian's chess engines live in /usr/games with their manual pages in
# section 6; XBoard looks for engines in share/games/plugins (one file per
# engine, in uci/ for engines it must run through polyglot).
set(OSTREL_GAMES_DIR games)
set(OSTREL_MAN6_DIR ${CMAKE_INSTALL_DATAROOTDIR}/man/man6)
set(OSTREL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrel)
set(OSTREL_PLUGIN_DIR ${CMAKE_INSTALL_DATAROOTDIR}/games/plugins/uci)

# The manual pages, written by a program that reads the engine's own
# options table, so that an option added there is documented without an edit.
# Debian wants them compressed with gzip -9n (no name, no time: the same
# bytes from every build).
find_program(OSTREL_GZIP gzip REQUIRED)
add_executable(ostrel_manpage packaging/manpage.cpp)
target_link_libraries(ostrel_manpage PRIVATE ostrel_core)
set(man_template ${CMAKE_SOURCE_DIR}/packaging/ostrel.6.in)
set(man_dir ${CMAKE_BINARY_DIR}/man)
set(OSTREL_MAN_PAGES "")
foreach(program ostrel64 ostrel32)
  add_custom_command(OUTPUT ${man_dir}/${program}.6 ${man_dir}/${program}.6.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    # In a sanitizer build the generator is built with them too; its tables
    # live until the end, which is no leak to report.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
      $<TARGET_FILE:ostrel_manpage> ${program} ${man_template} ${OSTREL_RELEASE_DATE} ${man_dir}/${program}.6
    COMMAND ${OSTREL_GZIP} -9 -n -k -f ${man_dir}/${program}.6
    DEPENDS ostrel_manpage ${man_template} ${OSTREL_CHANGELOG}
    COMMENT "Manual page ${program}(6)"
    VERBATIM)
  list(APPEND OSTREL_MAN_PAGES ${man_dir}/${program}.6.gz)
endforeach()
# The documents, compressed the same way as Debian's packages have them.
set(OSTREL_DOCS ${CMAKE_SOURCE_DIR}/packaging/copyright)
foreach(document ${OSTREL_CHANGELOG} ${CMAKE_SOURCE_DIR}/README.md)
  get_filename_component(name ${document} NAME)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
    COMMAND ${OSTREL_GZIP} -9 -n -c ${document} > ${CMAKE_BINARY_DIR}/doc/${name}.gz
    DEPENDS ${document}
    COMMENT "Compressed ${name}")
  list(APPEND OSTREL_DOCS ${CMAKE_BINARY_DIR}/doc/${name}.gz)
endforeach()
# Built with everything; scripts/package.sh asks for it by name.
add_custom_target(manpages ALL DEPENDS ${OSTREL_MAN_PAGES} ${OSTREL_DOCS})

install(TARGETS ostrel64 ostrel32 RUNTIME DESTINATION ${OSTREL_GAMES_DIR})
# A stripped install (cmake --install --strip, and the package) also drops
# the compiler's name and version from the programs, as Debian's own
# packaging does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ostrel64 ostrel32)
      execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${OSTREL_GAMES_DIR}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(FILES ${OSTREL_MAN_PAGES} DESTINATION ${OSTREL_MAN6_DIR})
install(FILES ${OSTREL_DOCS} DESTINATION ${OSTREL_DOC_DIR})
# XBoard's plugin files name the program by its full path, which is known
# only when installing (the package installs under /usr, cmake --install
# under its prefix). XBoard adds the engines from uci/ to its list with
# -fUCI, which makes it start them through polyglot.
install(CODE "
  foreach(program ostrel64 ostrel32)
    set(plugin \"\${CMAKE_INSTALL_PREFIX}/${OSTREL_PLUGIN_DIR}/\${program}.eng\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${plugin}\")
    file(WRITE \"\$ENV{DESTDIR}\${plugin}\"
      \"plugin spec 0.0\\n\${CMAKE_INSTALL_PREFIX}/${OSTREL_GAMES_DIR}/\${program}\\nchess\\n\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\$ENV{DESTDIR}\${plugin}\")
  endforeach()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VERSION ${OSTREL_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${OSTREL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine speaking the UCI protocol")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# "games", as every chess engine Debian ships; lintian expects a package
# of that section to hold its programs in /usr/games and nowhere else.
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "polyglot, xboard | scid")
# CPack puts the summary above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ostrel searches with iterative deepening over an alpha-beta search and
scores positions with a hand-tuned evaluation. Chess GUIs, match runners
and analysis tools start it and talk to it on its standard input and
output. Two programs: ostrel64, and ostrel32 with other search additions
and pawn-structure term (a native 64-bit build as well). XBoard lists
both, through polyglot.")
include(CPack)

if(OSTREL_WINDOWS)
  set(zip_dir ${CMAKE_BINARY_DIR}/windows-zip)
  set(OSTREL_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/ostrel-${OSTREL_PACKAGE_VERSION}-windows.zip)
  # Windows users open the texts in Notepad: CR LF line ends. The licence
  # goes with the programs, as it asks.
  foreach(text cmake/windows-readme.txt:README.txt COPYING:COPYING.txt)
    string(REPLACE ":" ";" text ${text})
    list(GET text 0 source)
    list(GET text 1 name)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${source})
    file(READ ${CMAKE_SOURCE_DIR}/${source} content)
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${zip_dir}/${name} "${content}")
  endforeach()
  add_custom_command(OUTPUT ${OSTREL_WINDOWS_ZIP}
    COMMAND ${CMAKE_COMMAND} -E copy ${OSTREL64_EXE} ${OSTREL32_EXE} ${zip_dir}
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_dir}
      ${CMAKE_COMMAND} -E tar cf ${OSTREL_WINDOWS_ZIP} --format=zip ostrel64.exe ostrel32.exe README.txt COPYING.txt
    DEPENDS ${OSTREL64_EXE} ${OSTREL32_EXE} ${zip_dir}/README.txt ${zip_dir}/COPYING.txt
    COMMENT "Windows zip ${OSTREL_WINDOWS_ZIP}")
  add_custom_target(windows_zip DEPENDS ${OSTREL_WINDOWS_ZIP})
  add_dependencies(windows_zip windows_x86_64 windows_i686)
endif()
