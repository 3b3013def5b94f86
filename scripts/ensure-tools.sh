#!/usr/bin/env bash
# Installs what building and testing Ostrel needs on a Debian machine, when
# it is missing: a C++20 compiler, CMake and GoogleTest (--with-tests); the
# mingw-w64 cross-compilers and Wine (64-bit and, from the i386 architecture,
# 32-bit) (--with-windows); the packaging tools and their checkers: dpkg-dev,
# lintian, man, unzip (--with-packages); XBoard with polyglot under Xvfb and
# the tools to drive it and take screenshots (--with-xboard); clang with
# libFuzzer, Python and Stockfish for the fuzzers (--with-fuzz); Stockfish
# alone for the speed scripts (--with-stockfish); Stockfish and Debian's
# matplotlib for the strength calibration (--with-calibration).
set -euo pipefail

with_tests=0
with_windows=0
with_packages=0
with_xboard=0
with_fuzz=0
with_stockfish=0
with_calibration=0
for argument in "$@"; do
  case $argument in
    --with-tests) with_tests=1 ;;
    --with-windows) with_windows=1 ;;
    --with-packages) with_packages=1 ;;
    --with-xboard) with_xboard=1 ;;
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
fi
if [ $with_packages = 1 ]; then
  command -v unzip >/dev/null 2>&1 || missing+=(unzip)
  command -v dpkg-shlibdeps >/dev/null 2>&1 || missing+=(dpkg-dev)
  command -v lintian >/dev/null 2>&1 || missing+=(lintian)
  command -v man >/dev/null 2>&1 || missing+=(man-db)
fi
# XBoard from Debian (with the engine it starts by default), polyglot, which
# it runs UCI engines through, an X server without a screen, and the tools
# that press its keys and photograph it.
if [ $with_xboard = 1 ]; then
  [ -x /usr/games/xboard ] || missing+=(xboard)
  [ -x /usr/games/polyglot ] || missing+=(polyglot)
  command -v Xvfb >/dev/null 2>&1 || missing+=(xvfb)
  command -v xdotool >/dev/null 2>&1 || missing+=(xdotool)
  command -v import >/dev/null 2>&1 || missing+=(imagemagick)
  command -v man >/dev/null 2>&1 || missing+=(man-db)
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
