#!/usr/bin/env bash
# Fuzzes Ostrel: the libFuzzer targets of fuzz/ (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# and the stream fuzzer, which drives the sanitizer builds of both programs through pipes with Stockfish
# as oracle. Everything they write (new inputs, reproducers, logs) goes to build/fuzz/.
#   ./scripts/fuzz.sh SECONDS [SEED]   a campaign: every fuzzer for SECONDS, all at once (start it with nice)
#   ./scripts/fuzz.sh --quick          the test suite's run: a fixed seed and number of inputs, one at a time
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--quick" ]; then
  mode=quick seed=1
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  mode=campaign seconds=$1 seed=${2:-$(date +%s)}
else
  echo "usage: $0 SECONDS [SEED] | --quick" >&2
  exit 2
fi

./scripts/ensure-tools.sh --with-fuzz
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j"$(nproc)"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=ON -DOSTREL_TESTS=ON >/dev/null
cmake --build build/sanitize -j"$(nproc)" --target ostrel64 ostrel32

declare -A quick_runs=([position]=20000 [command_lines]=800)
out=build/fuzz/$mode
rm -rf "$out/logs" "$out/new"
mkdir -p "$out/logs" "$out/artifacts"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs a libFuzzer target, or "streams", and reports on it.
run() {
  local log=$out/logs/$1.log status=0
  if [ "$1" = streams ]; then
    local amount=(--streams 16)
    [ $mode = campaign ] && amount=(--seconds "$seconds")
    python3 fuzz/stream_fuzz.py build/sanitize/ostrel64 build/sanitize/ostrel32 --seed "$seed" "${amount[@]}" \
      --failures "$out/artifacts/streams" >"$log" 2>&1 || status=$?
    tail -n 20 "$log" | grep -E "FAILED|^  |stream fuzzer" || true
    return $status
  fi
  # A campaign keeps what it found for the next one; the seed corpora in fuzz/corpus/ are only read.
  local corpus=$out/new/$1 limit=-runs="${quick_runs[$1]}"
  [ $mode = campaign ] && corpus=build/fuzz/corpus/$1 limit=-max_total_time="$seconds"
  mkdir -p "$corpus"
  "build/fuzz/fuzz_$1" -seed="$seed" "$limit" -print_final_stats=1 -max_len=4096 \
    -artifact_prefix="$out/artifacts/$1-" "$corpus" "fuzz/corpus/$1" >"$log" 2>&1 || status=$?
  echo "$1: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1) inputs," \
    "$([ $status -eq 0 ] && echo "nothing found" || echo "FAILED; reproducer in $out/artifacts/, end of its log:")"
  grep -E "INVARIANT|ERROR|runtime error|SUMMARY" "$log" | head -5 || true
  return $status
}

echo "== Fuzzing ($mode, seed $seed); logs in $out/logs"
failed=0
pids=()
for name in position command_lines streams; do
  if [ $mode = quick ]; then
    run "$name" || failed=1
  else
    run "$name" &
    pids+=($!)
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
