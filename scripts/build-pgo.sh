#!/usr/bin/env bash
# Builds ostrel64 and ostrel32 with profile-guided optimisation, trained on
# bench: an instrumented build runs "bench" of both programs, then the
# programs are built again with that profile. Behaviour is the same as the
# ordinary build (bench node counts are checked); only the speed differs.
#
#   scripts/build-pgo.sh [build folder, default build/pgo] [extra CMake options...]
#   e.g. scripts/build-pgo.sh build/pgo-native -DOSTREL_MARCH=native
set -euo pipefail
cd "$(dirname "$0")/.."

dir=$(realpath -m "${1:-build/pgo}")
shift || true
profile="$dir/profile"
train_depth=7
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

./scripts/ensure-tools.sh
rm -rf "$profile"

echo "== instrumented build" >&2
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF \
  -DOSTREL_PGO=GENERATE -DOSTREL_PGO_DIR="$profile" "$@" >/dev/null
cmake --build "$dir" -j"$jobs" --target ostrel64 ostrel32 >/dev/null

echo "== training on bench $train_depth" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A trained
for program in ostrel64 ostrel32; do
  trained[$program]=$(cd "$work" && "$dir/$program" bench "$train_depth" | sed -n 's/^Nodes searched: //p')
done

# The same folder again: the profile is found by the objects' paths.
echo "== optimised build" >&2
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF \
  -DOSTREL_PGO=USE -DOSTREL_PGO_DIR="$profile" "$@" >/dev/null
cmake --build "$dir" -j"$jobs" --target ostrel64 ostrel32 >/dev/null

for program in ostrel64 ostrel32; do
  tuned=$(cd "$work" && "$dir/$program" bench "$train_depth" | sed -n 's/^Nodes searched: //p')
  if [ "${trained[$program]}" != "$tuned" ]; then
    echo "$program: bench $train_depth node counts differ (${trained[$program]} against $tuned)" >&2
    exit 1
  fi
done
echo "built $dir/ostrel64 and $dir/ostrel32" >&2
