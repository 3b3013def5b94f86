#!/usr/bin/env bash
# Installs what building and testing Ostrel needs on a Debian machine, when
# it is missing: a C++20 compiler, CMake and GoogleTest.
set -euo pipefail

missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v make >/dev/null 2>&1 || missing+=(make)
if [ "${1:-}" = "--with-tests" ] && [ ! -f /usr/include/gtest/gtest.h ]; then
  missing+=(libgtest-dev)
fi
# Speed scripts only: Stockfish serves as a perft yardstick.
if [ "${1:-}" = "--with-stockfish" ] && [ ! -x /usr/games/stockfish ] && ! command -v stockfish >/dev/null 2>&1; then
  missing+=(stockfish)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
