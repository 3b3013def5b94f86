# Each file of the platform layer with a system in its name exists twice,
# once per system (console_posix.cpp, console_win32.cpp, ...): keep the one
# of the system being built for.
if(WIN32)
  list(FILTER OSTREL_SOURCES EXCLUDE REGEX "_posix\\.cpp$")
else()
  list(FILTER OSTREL_SOURCES EXCLUDE REGEX "_win32\\.cpp$")
endif()
