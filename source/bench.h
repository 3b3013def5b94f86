// The fixed benchmark: a list of varied positions, each searched to one
// fixed depth from an empty table and empty killers. Its total node count is
// the search's regression signature; it is the same on every run of a build.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

struct BenchResult {
    std::uint64_t nodes = 0;
    std::int64_t milliseconds = 0;
    bool completed = true;  // false when interrupted
};

inline constexpr int BENCH_DEFAULT_DEPTH = 8;
inline constexpr int BENCH_MAX_DEPTH = 20;

// Searches every position to the given depth, printing one line per position
// and then "Nodes searched: N" and "Nodes/second: M" straight to standard
// output. The transposition table keeps its size but is left empty.
// `interrupted`, when given, is asked at the search's input polls; once it
// answers true the benchmark ends without the two summary lines.
BenchResult runBench(int depth = BENCH_DEFAULT_DEPTH, const std::function<bool()>& interrupted = {});

// The positions of the benchmark, as FEN texts.
std::span<const char* const> benchPositions();

// The same search without printing, for tests.
BenchResult runBenchQuietly(int depth);
