#!/usr/bin/env bash
# Builds Ostrel and runs the whole test suite twice: in a Release build (with
# the Windows programs, tested under Wine, and the packages) and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer; then the
# searches with threads in a ThreadSanitizer build, and every fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/ensure-tools.sh --with-tests --with-windows --with-packages --with-fuzz
jobs=$(nproc)

echo "== Release build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=ON -DOSTREL_WINDOWS=ON >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"

echo "== Packages (Debian package, checked with lintian; Windows zip) and their contents"
./scripts/package.sh build/release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=ON -DOSTREL_TESTS=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== ThreadSanitizer build and the searches with threads"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_TSAN=ON -DOSTREL_TESTS=ON >/dev/null
cmake --build build/tsan -j"$jobs" --target ostrel_tests ostrel64 ostrel32
# A data race ends the program at once with status 66, which its transcript sees.
TSAN_OPTIONS=halt_on_error=1:exitcode=66 ctest --test-dir build/tsan --output-on-failure -j"$jobs" -R 'Threads'

echo "== Fuzzers, briefly (fixed seed and number of inputs)"
./scripts/fuzz.sh --quick

echo "== All tests passed"
./scripts/count-lines.sh
