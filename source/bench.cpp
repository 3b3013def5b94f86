#include "bench.h"

#include "board/board.h"
#include "platform/clock.h"
#include "search/tt.h"
#include "search/worker.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int BENCH_HASH_MB = 16;

// Openings, middlegames with tactics, endgames, positions with mates and
// promotions.
constexpr const char* positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkb1r/pppp1ppp/5n2/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 4 5",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1QBPPP/R3KB1R w KQ - 4 9",
    "r2qr1k1/1p1nbppp/p2pbn2/4p3/4P3/1NN1BP2/PPPQ2PP/2KR1B1R w - - 2 12",
    "2rq1rk1/pp1bppbp/3p1np1/4n3/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 5 12",
    "r1b2rk1/2q1bppp/p2p1n2/np2p3/3PP3/5N1P/PPB2PP1/RNBQR1K1 w - - 2 13",
    "3r1rk1/p4ppp/1pq1pn2/2b5/2P5/P1N1PQ2/1P3PPP/R4RK1 w - - 0 17",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7",
    "rnb1kb1r/pp3ppp/2p1pn2/q7/3P4/2N2N2/PPPB1PPP/R2QKB1R w KQkq - 2 7",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1",
    "8/5pk1/6p1/8/5PK1/6P1/8/8 w - - 0 1",
    "8/8/8/4k3/8/3K4/4P3/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/1p4k1/p1p3p1/P1P3P1/1P4K1/8/8 w - - 0 1",
    "4r1k1/5ppp/8/8/1R6/6P1/5P1P/6K1 w - - 0 1",
    "8/3k4/8/2KP4/8/8/8/8 w - - 0 1",
    "2K2r2/4P3/8/8/8/8/8/3k4 w - - 0 1",
    "8/P1k5/K7/8/8/8/8/8 w - - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "6k1/pp4pp/2p5/8/8/2Q5/PPP2qPP/1K5R b - - 0 1",
    "r2q1rk1/ppp2ppp/2n5/3Np3/2B1n1b1/5N2/PPPP1PPP/R1BQR1K1 w - - 0 10",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - 0 1",
    "3r2k1/1p3ppp/p7/8/8/P4N2/1PP2PPP/4R1K1 w - - 0 25",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 7",
};

// A host that prints nothing and stops the search only when the caller's
// interruption test says so: the benchmark measures the search alone.
class BenchHost final : public SearchHost {
public:
    explicit BenchHost(const std::function<bool()>& interrupted) : interrupted_(interrupted) {}
    bool checkInputAndClock(bool) override {
        if (!stopped && interrupted_) stopped = interrupted_();
        return stopped;
    }
    bool stopped = false;

private:
    const std::function<bool()>& interrupted_;
};

BenchResult searchAll(int depth, bool print, const std::function<bool()>& interrupted) {
    BenchHost host(interrupted);
    // A worker of its own: the engine's threads keep their memory.
    const auto worker = std::make_unique<SearchWorker>();
    worker->setHost(&host);

    resizeTranspositionTable(BENCH_HASH_MB);
    BenchResult result;
    const std::int64_t start = clockMs();
    int index = 0;
    for (const char* fen : positions) {
        ++index;
        clearTranspositionTable();
        worker->clearMemory();
        worker->board = Board();
        worker->board.setFromFen(fen);
        worker->root.reset(1);
        int score = 0;
        for (int iteration = 1; iteration <= depth && !host.stopped; ++iteration)
            score = worker->rootSearch(iteration, start);
        if (host.stopped) {
            result.completed = false;
            break;
        }
        const std::uint64_t nodes = worker->board.nodeCount;
        result.nodes += nodes;
        if (print)
            std::printf("Position %2d: %-78s score %8d nodes %10llu\n", index, fen, score,
                        static_cast<unsigned long long>(nodes));
    }
    result.milliseconds = clockMs() - start;
    return result;
}

}  // namespace

std::span<const char* const> benchPositions() { return positions; }

BenchResult runBench(int depth, const std::function<bool()>& interrupted) {
    const int restoreMB = transpositionTableMegabytes();
    const BenchResult result = searchAll(depth, true, interrupted);
    if (result.completed) {
        const std::int64_t ms = result.milliseconds > 0 ? result.milliseconds : 1;
        std::printf("\nNodes searched: %llu\n", static_cast<unsigned long long>(result.nodes));
        std::printf("Nodes/second: %llu\n", static_cast<unsigned long long>(result.nodes * 1000 / std::uint64_t(ms)));
    }
    resizeTranspositionTable(restoreMB > 0 ? restoreMB : 1);
    return result;
}

BenchResult runBenchQuietly(int depth) {
    const int restoreMB = transpositionTableMegabytes();
    const BenchResult result = searchAll(depth, false, {});
    resizeTranspositionTable(restoreMB > 0 ? restoreMB : 1);
    return result;
}
