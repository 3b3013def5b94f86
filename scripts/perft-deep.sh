#!/usr/bin/env bash
# Deep perft counts and move-generation speed, in a Release build:
# every position of tests/data/perft.epd at its deepest listed depth, then the
# median speed of three runs of perft 6 from the start position.
#   ./scripts/perft-deep.sh           full run (about a minute)
#   ./scripts/perft-deep.sh --quick   only the start-position figure
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/ensure-tools.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target perft_bench >/dev/null
exec build/release/perft_bench "$@"
