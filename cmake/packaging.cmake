# What users install.
#
# Linux: "cmake --install <build> [--prefix DIR]" puts ostrel64 and ostrel32
# into DIR/bin and the README into DIR/share/doc/ostrel (DIR is /usr/local
# unless given); "cpack -G DEB" in the build folder makes the Debian package
# ostrel_<version>_amd64.deb, which installs the same under /usr.
#
# Windows: the target windows_zip of a Linux build with OSTREL_WINDOWS makes
# ostrel-<version>-windows.zip with both .exe files and a text for Windows
# users (cmake/windows-readme.txt).
#
# scripts/package.sh makes all of them into dist/.

# The newest of the two programs' versions.
set(OSTREL_PACKAGE_VERSION 2.3)

if(WIN32)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS ostrel64 ostrel32 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VERSION ${OSTREL_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "Belvantor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine speaking the UCI protocol")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ostrel searches with iterative deepening over an alpha-beta search and
scores positions with a hand-tuned evaluation. Chess GUIs, match runners
and analysis tools start it and talk to it on its standard input and
output. Two programs: ostrel64, and ostrel32 with other search additions
and pawn-structure term (a native 64-bit build as well).")
include(CPack)

if(OSTREL_WINDOWS)
  set(zip_dir ${CMAKE_BINARY_DIR}/windows-zip)
  set(OSTREL_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/ostrel-${OSTREL_PACKAGE_VERSION}-windows.zip)
  # Windows users open the text in Notepad: CR LF line ends.
  set(readme_source ${CMAKE_SOURCE_DIR}/cmake/windows-readme.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${readme_source})
  file(READ ${readme_source} readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${zip_dir}/README.txt "${readme}")
  add_custom_command(OUTPUT ${OSTREL_WINDOWS_ZIP}
    COMMAND ${CMAKE_COMMAND} -E copy ${OSTREL64_EXE} ${OSTREL32_EXE} ${zip_dir}
    COMMAND ${CMAKE_COMMAND} -E chdir ${zip_dir}
      ${CMAKE_COMMAND} -E tar cf ${OSTREL_WINDOWS_ZIP} --format=zip ostrel64.exe ostrel32.exe README.txt
    DEPENDS ${OSTREL64_EXE} ${OSTREL32_EXE} ${zip_dir}/README.txt
    COMMENT "Windows zip ${OSTREL_WINDOWS_ZIP}")
  add_custom_target(windows_zip DEPENDS ${OSTREL_WINDOWS_ZIP})
  add_dependencies(windows_zip windows_x86_64 windows_i686)
endif()
