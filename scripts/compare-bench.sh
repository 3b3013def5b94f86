#!/usr/bin/env bash
# Measures two commits side by side: builds each (Release, no tests) into its
# own folder under build/compare/, then runs "bench" of both programs
# alternately, old and new (A B A B ...), and prints for every program the
# median, minimum and maximum of the pairwise time ratios new/old. Node counts
# of the two commits are compared too; a difference is reported loudly.
#
#   scripts/compare-bench.sh [options] <commitA> <commitB>
#     --pairs N        alternating pairs per program (default 5)
#     --depth D        bench depth (default: the programs' default, 8)
#     --programs LIST  programs to compare (default "ostrel64 ostrel32")
#     --eval           also alternate the evaluation benchmark (ns per call)
#   CMAKE_ARGS_A / CMAKE_ARGS_B: extra CMake options for one side, e.g. to
#   compare build settings of one commit: CMAKE_ARGS_B=-DOSTREL_LTO=ON.
#
# Wall-clock ratios suffer when other processes share the machine; the CPU
# time ratios (user + system) beside them suffer less. Both are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

pairs=5
depth=""
programs="ostrel64 ostrel32"
with_eval=0
while [ $# -gt 0 ]; do
  case "$1" in
    --pairs) pairs=$2; shift 2 ;;
    --depth) depth=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --eval) with_eval=1; shift ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
if [ $# -ne 2 ]; then
  echo "usage: $0 [--pairs N] [--depth D] [--programs LIST] [--eval] <commitA> <commitB>" >&2
  exit 2
fi

./scripts/ensure-tools.sh
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

# Builds a commit (with optional CMake options) once; prints its build folder.
build_commit() {
  local commit=$1 extra=$2 sha tag src dir
  sha=$(git rev-parse --verify "$commit^{commit}")
  tag=${sha:0:12}
  if [ -n "$extra" ]; then tag="$tag-$(printf '%s' "$extra" | md5sum | cut -c1-8)"; fi
  src="$repo/build/compare/src-${sha:0:12}"
  dir="$repo/build/compare/$tag"
  if [ ! -f "$src/CMakeLists.txt" ]; then
    mkdir -p "$src"
    git archive "$sha" | tar -x -C "$src"
  fi
  # shellcheck disable=SC2086
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF $extra >/dev/null
  local targets="ostrel64 ostrel32"
  [ "$with_eval" = 1 ] && targets="$targets eval_bench"
  # shellcheck disable=SC2086
  cmake --build "$dir" -j"$jobs" --target $targets >/dev/null
  echo "$dir"
}

echo "building A: $1 ${CMAKE_ARGS_A:-}" >&2
dirA=$(build_commit "$1" "${CMAKE_ARGS_A:-}")
echo "building B: $2 ${CMAKE_ARGS_B:-}" >&2
dirB=$(build_commit "$2" "${CMAKE_ARGS_B:-}")

# The programs run in an empty folder, so nothing they might write lands here.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs one command; sets run_wall, run_cpu (seconds) and run_out.
run_timed() {
  local start end
  start=$EPOCHREALTIME
  run_out=$(/usr/bin/time -f "%U %S" -o "$work/cpu" "$@")
  end=$EPOCHREALTIME
  run_wall=$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')
  run_cpu=$(awk '{print $1 + $2}' "$work/cpu")
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.6f", a / b}'; }

# Median, min and max of the numbers on standard input.
summary() {
  sort -g | awk '{v[NR] = $1} END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
    printf "median %.3f  min %.3f  max %.3f", m, v[1], v[NR] }'
}

status=0
for program in $programs; do
  echo "== $program bench ${depth:-(default depth)}: $pairs pairs, ratio = B / A"
  wall_ratios=""
  cpu_ratios=""
  for ((i = 1; i <= pairs; ++i)); do
    # shellcheck disable=SC2086
    run_timed "$dirA/$program" bench $depth
    wallA=$run_wall cpuA=$run_cpu
    nodesA=$(printf '%s\n' "$run_out" | sed -n 's/^Nodes searched: //p')
    # shellcheck disable=SC2086
    run_timed "$dirB/$program" bench $depth
    wallB=$run_wall cpuB=$run_cpu
    nodesB=$(printf '%s\n' "$run_out" | sed -n 's/^Nodes searched: //p')
    wr=$(ratio "$wallB" "$wallA")
    cr=$(ratio "$cpuB" "$cpuA")
    wall_ratios+="$wr"$'\n'
    cpu_ratios+="$cr"$'\n'
    printf "pair %d: A %.3f s (cpu %.2f)  B %.3f s (cpu %.2f)  wall ratio %.3f  cpu ratio %.3f  nodes %s / %s\n" \
      "$i" "$wallA" "$cpuA" "$wallB" "$cpuB" "$wr" "$cr" "$nodesA" "$nodesB"
    if [ "$nodesA" != "$nodesB" ]; then
      echo "NODE COUNTS DIFFER: $nodesA (A) against $nodesB (B)"
      status=1
    fi
  done
  echo "$program wall ratio: $(printf '%s' "$wall_ratios" | summary)"
  echo "$program cpu  ratio: $(printf '%s' "$cpu_ratios" | summary)"
done

if [ "$with_eval" = 1 ]; then
  echo "== evaluation benchmark: $pairs pairs, ratio = B / A of ns per call"
  for program in ostrel64 ostrel32; do declare "ratios_$program="; done
  for ((i = 1; i <= pairs; ++i)); do
    outA=$("$dirA/eval_bench")
    outB=$("$dirB/eval_bench")
    line="pair $i:"
    for program in ostrel64 ostrel32; do
      a=$(printf '%s\n' "$outA" | sed -n "s/^evaluate $program: \([0-9.]*\) ns.*/\1/p")
      b=$(printf '%s\n' "$outB" | sed -n "s/^evaluate $program: \([0-9.]*\) ns.*/\1/p")
      r=$(ratio "$b" "$a")
      var="ratios_$program"
      declare "$var=${!var}$r"$'\n'
      line+=$(printf "  %s A %.1f ns B %.1f ns ratio %.3f" "$program" "$a" "$b" "$r")
    done
    echo "$line"
  done
  for program in ostrel64 ostrel32; do
    var="ratios_$program"
    echo "evaluate $program ratio: $(printf '%s' "${!var}" | summary)"
  done
fi
exit $status
