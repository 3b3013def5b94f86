# The Windows programs. A mingw-w64 build (one of the toolchain files beside
# this one) makes them; a Linux build with OSTREL_WINDOWS makes both Windows
# builds as part of itself and, with the tests, tests the programs under Wine.

if(WIN32)
  # Helpers of the tests under Wine: a relay that starts a program on real
  # Windows pipes, and a check of the console reader.
  add_executable(pipe_relay EXCLUDE_FROM_ALL tests/windows/pipe_relay.cpp)
  add_executable(console_input_test EXCLUDE_FROM_ALL tests/windows/console_input_test.cpp)
  target_link_libraries(console_input_test PRIVATE ostrel_core)
  return()
endif()

option(OSTREL_WINDOWS "Also cross-build the Windows programs (mingw-w64); with the tests, test them under Wine" OFF)
if(NOT OSTREL_WINDOWS)
  return()
endif()

# ostrel64.exe is the 64-bit program, ostrel32.exe the 32-bit one.
include(ExternalProject)
set(OSTREL_WINDOWS_x86_64_DIR ${CMAKE_BINARY_DIR}/windows-x86_64)
set(OSTREL_WINDOWS_i686_DIR ${CMAKE_BINARY_DIR}/windows-i686)
set(OSTREL64_EXE ${OSTREL_WINDOWS_x86_64_DIR}/ostrel64.exe)
set(OSTREL32_EXE ${OSTREL_WINDOWS_i686_DIR}/ostrel32.exe)
set(OSTREL_WINDOWS_ARCHES x86_64 i686)
set(OSTREL_WINDOWS_PROGRAMS ostrel64 ostrel32)
foreach(arch program IN ZIP_LISTS OSTREL_WINDOWS_ARCHES OSTREL_WINDOWS_PROGRAMS)
  set(targets ${program})
  if(OSTREL_TESTS)
    list(APPEND targets console_input_test)
    if(arch STREQUAL x86_64)
      list(APPEND targets pipe_relay)
    endif()
  endif()
  # Under make, a recursive make shares the jobs of the main build.
  if(CMAKE_GENERATOR MATCHES "Make")
    set(build_command $(MAKE) ${targets})
  else()
    set(build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${targets})
  endif()
  ExternalProject_Add(windows_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${OSTREL_WINDOWS_${arch}_DIR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=Release
    BUILD_COMMAND ${build_command}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${OSTREL_WINDOWS_${arch}_DIR}/${program}.exe
    INSTALL_COMMAND "")
endforeach()

if(OSTREL_TESTS)
  find_program(OSTREL_WINE wine REQUIRED)
  add_executable(ostrel_wine_tests tests/windows/wine_test.cpp tests/engine_process.cpp tests/environment.cpp)
  target_include_directories(ostrel_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(ostrel_wine_tests PRIVATE ostrel_core GTest::gtest GTest::gtest_main)
  target_compile_definitions(ostrel_wine_tests PRIVATE
    OSTREL64_PATH="$<TARGET_FILE:ostrel64>"
    OSTREL32_PATH="$<TARGET_FILE:ostrel32>"
    OSTREL64_EXE="${OSTREL64_EXE}"
    OSTREL32_EXE="${OSTREL32_EXE}"
    PIPE_RELAY_EXE="${OSTREL_WINDOWS_x86_64_DIR}/pipe_relay.exe"
    CONSOLE_TEST64_EXE="${OSTREL_WINDOWS_x86_64_DIR}/console_input_test.exe"
    CONSOLE_TEST32_EXE="${OSTREL_WINDOWS_i686_DIR}/console_input_test.exe"
    WINE_PROGRAM="${OSTREL_WINE}"
    WINE_PREFIX="${CMAKE_BINARY_DIR}/wine-prefix"
    OSTREL_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  add_dependencies(ostrel_wine_tests ostrel64 ostrel32 windows_x86_64 windows_i686)
  gtest_discover_tests(ostrel_wine_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600 LABELS wine)
endif()
