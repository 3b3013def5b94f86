#!/usr/bin/env bash
# Fuzzes Ostrel: the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and the stream fuzzer, which drives the
# sanitizer builds of both programs through pipes with Stockfish as oracle.
#
#   ./scripts/fuzz.sh SECONDS [SEED]   a campaign: every fuzzer for SECONDS, all at once (start it with nice)
#   ./scripts/fuzz.sh --quick          the test suite's short run: a fixed seed and number of inputs each,
#                                      one fuzzer after the other (a minute or two)
#
# Everything the fuzzers write (new inputs, reproducers, logs) goes to
# build/fuzz/; the seed corpora in fuzz/corpus/ are only read.
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

targets=(fen_reader move_words command_lines)
declare -A quick_runs=([fen_reader]=20000 [move_words]=8000 [command_lines]=800)
out=build/fuzz/$mode
rm -rf "$out/logs" "$out/new"
mkdir -p "$out/logs" "$out/artifacts"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run() {  # a libFuzzer target, or "streams"
  if [ "$1" = streams ]; then
    local amount=(--streams 16)
    [ $mode = campaign ] && amount=(--seconds "$seconds")
    python3 fuzz/stream_fuzz.py build/sanitize/ostrel64 build/sanitize/ostrel32 --seed "$seed" "${amount[@]}" \
      --failures "$out/artifacts/streams" >"$out/logs/streams.log" 2>&1
  else
    # A campaign keeps what it found for the next one.
    local corpus=$out/new/$1 limit=-runs="${quick_runs[$1]}"
    [ $mode = campaign ] && corpus=build/fuzz/corpus/$1 limit=-max_total_time="$seconds"
    mkdir -p "$corpus"
    "build/fuzz/fuzz_$1" -seed="$seed" "$limit" -print_final_stats=1 -max_len=4096 \
      -artifact_prefix="$out/artifacts/$1-" "$corpus" "fuzz/corpus/$1" >"$out/logs/$1.log" 2>&1
  fi
}

declare -A status=() pids=()
for name in "${targets[@]}" streams; do
  if [ $mode = quick ]; then
    run "$name" && status[$name]=0 || status[$name]=$?
  else
    run "$name" &
    pids[$name]=$!
  fi
done
for name in "${!pids[@]}"; do
  wait "${pids[$name]}" && status[$name]=0 || status[$name]=$?
done

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
