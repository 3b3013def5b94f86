// The price of several lines: the bench positions searched to one fixed depth
// with MultiPV 1, 3 and 5, each from an empty table, with the time and nodes
// of each setting and its ratio to a single line. Runs each setting three
// times, interleaved, and reports the medians.
//
// Usage: multipv_bench [depth] [ostrel32]   (depth 8 unless given)
#include "bench.h"
#include "board/board.h"
#include "search/tt.h"
#include "search/worker.h"
#include "startup.h"
#include "variant.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int DEFAULT_DEPTH = 8;
constexpr int RUNS = 3;
constexpr int LINES[] = {1, 3, 5};
constexpr int TABLE_MB = 16;

struct Figures {
    double seconds = 0;
    std::uint64_t nodes = 0;
};

Figures searchAll(SearchWorker& worker, int depth, int lines) {
    Figures figures;
    for (const char* fen : benchPositions()) {
        clearTranspositionTable();
        worker.clearMemory();
        worker.board = Board();
        worker.board.setFromFen(fen);
        worker.root.reset(lines);
        const auto start = std::chrono::steady_clock::now();
        for (int iteration = 1; iteration <= depth; ++iteration) {
            worker.rootSearch(iteration, 0);
            worker.root.completeIteration();
        }
        figures.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        figures.nodes += worker.board.nodeCount;
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int depth = argc > 1 ? std::atoi(argv[1]) : DEFAULT_DEPTH;
    const bool thirtyTwo = argc > 2 && std::strcmp(argv[2], "ostrel32") == 0;
    initialiseEngine(thirtyTwo ? ostrel32Variant : ostrel64Variant);
    resizeTranspositionTable(TABLE_MB);
    const auto worker = std::make_unique<SearchWorker>();

    std::vector<double> seconds[std::size(LINES)];
    std::uint64_t nodes[std::size(LINES)] = {};
    for (int run = 0; run < RUNS; ++run) {
        for (std::size_t i = 0; i < std::size(LINES); ++i) {
            const Figures figures = searchAll(*worker, depth, LINES[i]);
            seconds[i].push_back(figures.seconds);
            nodes[i] = figures.nodes;
        }
    }
    std::printf("%s, %zu bench positions to depth %d, median of %d runs\n", thirtyTwo ? "ostrel32" : "ostrel64",
                benchPositions().size(), depth, RUNS);
    std::printf("%8s %10s %14s %12s\n", "MultiPV", "seconds", "nodes", "time ratio");
    double single = 0;
    for (std::size_t i = 0; i < std::size(LINES); ++i) {
        std::sort(seconds[i].begin(), seconds[i].end());
        const double median = seconds[i][RUNS / 2];
        if (i == 0) single = median;
        std::printf("%8d %10.3f %14llu %12.2f\n", LINES[i], median, static_cast<unsigned long long>(nodes[i]),
                    single > 0 ? median / single : 0.0);
    }
    return 0;
}
