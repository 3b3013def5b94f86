# Build settings that only change speed, never behaviour.
#
#   OSTREL_LTO   link-time optimisation of the programs (default ON where the
#                compiler supports it)
#   OSTREL_MARCH a -march value, e.g. "native" or "x86-64-v3" (default empty:
#                a portable build for every processor the platform supports)
#   OSTREL_PGO   profile-guided optimisation: "GENERATE" builds programs that
#                record a profile into OSTREL_PGO_DIR when run, "USE" builds
#                with that profile (scripts/build-pgo.sh does both steps,
#                training on bench). Empty (default): no profile.

include(CheckIPOSupported)

option(OSTREL_LTO "Link-time optimisation" ON)
set(OSTREL_MARCH "" CACHE STRING "Processor to optimise for (-march); empty for a portable build")
set(OSTREL_PGO "" CACHE STRING "Profile-guided optimisation: empty, GENERATE or USE")
set(OSTREL_PGO_DIR "${CMAKE_BINARY_DIR}/pgo-profile" CACHE PATH "Where the profile is written and read")

if(OSTREL_LTO AND NOT OSTREL_SANITIZE)
  check_ipo_supported(RESULT ostrel_ipo_supported OUTPUT ostrel_ipo_output LANGUAGES CXX)
  if(ostrel_ipo_supported)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  else()
    message(STATUS "Link-time optimisation not supported here: ${ostrel_ipo_output}")
  endif()
endif()

if(OSTREL_MARCH)
  add_compile_options(-march=${OSTREL_MARCH})
endif()

if(OSTREL_PGO STREQUAL "GENERATE")
  add_compile_options(-fprofile-generate=${OSTREL_PGO_DIR} -fprofile-update=single)
  add_link_options(-fprofile-generate=${OSTREL_PGO_DIR})
elseif(OSTREL_PGO STREQUAL "USE")
  # Sources the training did not run (tests, benchmarks) have no profile:
  # that is expected, not worth a warning.
  add_compile_options(-fprofile-use=${OSTREL_PGO_DIR} -fprofile-correction -Wno-missing-profile)
  add_link_options(-fprofile-use=${OSTREL_PGO_DIR})
elseif(OSTREL_PGO)
  message(FATAL_ERROR "OSTREL_PGO must be empty, GENERATE or USE, not '${OSTREL_PGO}'")
endif()
