#!/usr/bin/env bash
# Installs what building and testing Ostrel needs on a Debian machine, when
# it is missing: a C++20 compiler, CMake and GoogleTest (--with-tests); the
# mingw-w64 cross-compilers, Wine (64-bit and, from the i386 architecture,
# 32-bit) and the packaging tools (--with-windows); clang with libFuzzer,
# Python and Stockfish for the fuzzers (--with-fuzz); Stockfish alone for the
# speed scripts (--with-stockfish); Stockfish and Debian's matplotlib for the
# strength calibration (--with-calibration).
set -euo pipefail

with_tests=0
with_windows=0
with_fuzz=0
with_stockfish=0
with_calibration=0
for argument in "$@"; do
  case $argument in
    --with-tests) with_tests=1 ;;
    --with-windows) with_windows=1 ;;
    --with-fuzz) with_fuzz=1 ;;
    --with-stockfish) with_stockfish=1 ;;
    --with-calibration) with_stockfish=1 with_calibration=1 ;;
  esac
done

missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v make >/dev/null 2>&1 || missing+=(make)
if [ $with_tests = 1 ] && [ ! -f /usr/include/gtest/gtest.h ]; then
  missing+=(libgtest-dev)
fi
need_i386=0
if [ $with_windows = 1 ]; then
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64)
  command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686)
  command -v wine >/dev/null 2>&1 || missing+=(wine)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  if [ ! -x /usr/lib/wine/wine ]; then
    missing+=(wine32:i386)
    need_i386=1
  fi
  command -v unzip >/dev/null 2>&1 || missing+=(unzip)
  command -v dpkg-shlibdeps >/dev/null 2>&1 || missing+=(dpkg-dev)
fi
# The fuzzers: clang with libFuzzer, Python for the stream fuzzer and
# Stockfish as its legality oracle.
if [ $with_fuzz = 1 ]; then
  command -v clang++ >/dev/null 2>&1 || missing+=(clang)
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null || missing+=(libclang-rt-dev)
  command -v python3 >/dev/null 2>&1 || missing+=(python3)
  [ -x /usr/games/stockfish ] || command -v stockfish >/dev/null 2>&1 || missing+=(stockfish)
fi
# Speed scripts only: Stockfish serves as a perft yardstick.
if [ $with_stockfish = 1 ]; then
  [ -x /usr/games/stockfish ] || command -v stockfish >/dev/null 2>&1 || missing+=(stockfish)
fi

if [ $with_calibration = 1 ] && ! /usr/bin/python3 -c "import matplotlib" >/dev/null 2>&1; then
  missing+=(python3-matplotlib)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  if [ $need_i386 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
