#!/usr/bin/env bash
# Prints the non-blank lines of the engine's code and of its test code, the
# figure the test suite is kept in proportion to (at most a third).
# Test code: every code and script file under tests/ and fuzz/, and the fuzzing
# script; case data (tests/data/, the fuzz corpus, .epd/.txt/.tsv) and the CMake
# files aside, as the engine's figure leaves out its own build files.
set -euo pipefail
cd "$(dirname "$0")/.."

nonblank() { cat "$@" | grep -cv '^[[:space:]]*$'; }

mapfile -t source_files < <(git ls-files --cached --others --exclude-standard source)
mapfile -t test_files < <(git ls-files --cached --others --exclude-standard tests fuzz scripts/fuzz.sh |
  grep -Ev '^tests/data/|^fuzz/corpus/|\.(epd|txt|tsv)$')

source_lines=$(nonblank "${source_files[@]}")
test_lines=$(nonblank "${test_files[@]}")
echo "source: $source_lines non-blank lines in ${#source_files[@]} files"
echo "tests:  $test_lines non-blank lines in ${#test_files[@]} files" \
  "($((100 * test_lines / source_lines))% of source; at most a third is the aim)"
