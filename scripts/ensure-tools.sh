#!/usr/bin/env bash
# Installs what building and testing Ostrel needs on a Debian machine, when
# it is missing: a C++20 compiler, CMake and GoogleTest; with --with-fuzz
# also what the fuzzers need.
set -euo pipefail

missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v make >/dev/null 2>&1 || missing+=(make)
with_tests=false
with_fuzz=false
for option in "$@"; do
  case $option in
    --with-tests) with_tests=true ;;
    --with-fuzz) with_fuzz=true ;;
  esac
done

if $with_tests && [ ! -f /usr/include/gtest/gtest.h ]; then
  missing+=(libgtest-dev)
fi
# The fuzzers: clang with libFuzzer, Python for the stream fuzzer and
# Stockfish as its legality oracle.
if $with_fuzz; then
  command -v clang++ >/dev/null 2>&1 || missing+=(clang)
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null || missing+=(libclang-rt-dev)
  command -v python3 >/dev/null 2>&1 || missing+=(python3)
  [ -x /usr/games/stockfish ] || command -v stockfish >/dev/null 2>&1 || missing+=(stockfish)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
