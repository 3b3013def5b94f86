#!/usr/bin/env bash
# Fuzzes Ostrel: the libFuzzer targets of fuzz/ (built by clang with
# AddressSanitizer and UndefinedBehaviorSanitizer) and the stream fuzzer,
# which drives the sanitizer builds of both programs through pipes with
# Stockfish as the legality oracle.
#
#   ./scripts/fuzz.sh SECONDS [SEED]   a campaign: every fuzzer runs for SECONDS, all at the same time
#                                      (start it with nice to leave the machine usable)
#   ./scripts/fuzz.sh --quick          the test suite's short run: a fixed seed and a fixed number of
#                                      inputs for each fuzzer, one after the other (a minute or two)
#
# Everything the fuzzers write (new inputs, reproducers of failures, logs)
# goes to build/fuzz/; the seed corpora in fuzz/corpus/ are only read.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: $0 SECONDS [SEED] | --quick" >&2; exit 2; }
[ $# -ge 1 ] || usage
if [ "$1" = "--quick" ]; then
  mode=quick
  seed=1
else
  [[ "$1" =~ ^[0-9]+$ ]] || usage
  mode=campaign
  seconds=$1
  seed=${2:-$(date +%s)}
fi

./scripts/ensure-tools.sh --with-fuzz
jobs=$(nproc)
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j"$jobs"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=ON -DOSTREL_TESTS=ON >/dev/null
cmake --build build/sanitize -j"$jobs" --target ostrel64 ostrel32

targets=(fen_reader move_words command_lines)
# Inputs each target runs in the quick mode.
declare -A quick_runs=([fen_reader]=20000 [move_words]=8000 [command_lines]=800)
quick_streams=16

out=build/fuzz/$mode
rm -rf "$out/logs" "$out/new"
mkdir -p "$out/logs" "$out/artifacts"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_target() {
  local target=$1
  local corpus=$out/new/$target
  local limit=(-runs="${quick_runs[$target]}")
  if [ $mode = campaign ]; then
    # A campaign keeps what it found for the next one.
    corpus=build/fuzz/corpus/$target
    limit=(-max_total_time="$seconds")
  fi
  mkdir -p "$corpus"
  "build/fuzz/fuzz_$target" -seed="$seed" "${limit[@]}" -print_final_stats=1 -max_len=4096 \
    -artifact_prefix="$out/artifacts/$target-" "$corpus" "fuzz/corpus/$target" >"$out/logs/$target.log" 2>&1
}

run_streams() {
  local amount=(--streams "$quick_streams")
  [ $mode = campaign ] && amount=(--seconds "$seconds")
  python3 fuzz/stream_fuzz.py build/sanitize/ostrel64 build/sanitize/ostrel32 --seed "$seed" "${amount[@]}" \
    --failures "$out/artifacts/streams" >"$out/logs/streams.log" 2>&1
}

declare -A status=()
if [ $mode = quick ]; then
  for target in "${targets[@]}"; do
    run_target "$target" && status[$target]=0 || status[$target]=$?
  done
  run_streams && status[streams]=0 || status[streams]=$?
else
  declare -A pids=()
  for target in "${targets[@]}"; do
    run_target "$target" &
    pids[$target]=$!
  done
  run_streams &
  pids[streams]=$!
  for name in "${!pids[@]}"; do
    wait "${pids[$name]}" && status[$name]=0 || status[$name]=$?
  done
fi

failed=0
echo "== Fuzzing ($mode, seed $seed); logs in $out/logs"
for target in "${targets[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/logs/$target.log" | tail -1)
  if [ "${status[$target]}" -eq 0 ]; then
    echo "$target: ${runs:-?} inputs, nothing found"
  else
    failed=1
    echo "$target: FAILED after ${runs:-?} inputs; reproducer in $out/artifacts/, end of its log:"
    grep -E "INVARIANT|ERROR|runtime error|SUMMARY" "$out/logs/$target.log" | head -5 || true
  fi
done
tail -n 20 "$out/logs/streams.log" | grep -E "FAILED|^  |stream fuzzer" || true
[ "${status[streams]}" -eq 0 ] || failed=1
exit $failed
