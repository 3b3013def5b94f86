# Shared by the two mingw-w64 toolchain files, which set OSTREL_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model: std::thread needs it (winpthreads, linked statically
# like the rest of the runtime).
find_program(CMAKE_CXX_COMPILER NAMES ${OSTREL_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${OSTREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything of the compiler's own runtime goes into the .exe, so it needs
# nothing but the DLLs every Windows has (KERNEL32, msvcrt); no symbols, as
# nobody debugs the release programs on Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")

# The test program needs GoogleTest for Linux; the Windows programs are tested
# under Wine from the Linux build instead.
set(OSTREL_TESTS OFF CACHE BOOL "Build the test program")
