#!/usr/bin/env bash
# Builds Ostrel in Release mode and starts it: ./scripts/run.sh [ostrel64|ostrel32] [bench]
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/ensure-tools.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target ostrel64 ostrel32 >/dev/null

program=ostrel64
if [ "${1:-}" = "ostrel64" ] || [ "${1:-}" = "ostrel32" ]; then
  program=$1
  shift
fi
exec "build/release/$program" "$@"
