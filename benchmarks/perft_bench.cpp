// Perft speed: the full depths of every position in tests/data/perft.epd
// (each count checked), then perft 6 of the start position three times,
// reporting the median speed.
//
// Usage: perft_bench [--quick]   (--quick runs only the start position figure)
#include "board/board.h"
#include "board/perft.h"
#include "startup.h"
#include "variant.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int START_POSITION_DEPTH = 6;
constexpr int START_POSITION_RUNS = 3;

struct Timed {
    std::uint64_t nodes;
    double seconds;
};

Timed timedPerft(Board& board, int depth) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t nodes = perft(board, depth);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {nodes, seconds};
}

double nps(const Timed& t) { return t.seconds > 0 ? double(t.nodes) / t.seconds : 0.0; }

// Every position at its deepest listed depth; returns the number of wrong counts.
int runReferencePositions() {
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    std::string line;
    int wrong = 0;
    std::uint64_t totalNodes = 0;
    double totalSeconds = 0;
    std::printf("%-80s %5s %12s %9s %12s\n", "position", "depth", "nodes", "seconds", "nps");
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t semicolon = line.find(';');
        // "chess960 " before a FEN: its castling field names rooks.
        const bool chess960 = line.starts_with("chess960 ");
        const std::string fen = line.substr(chess960 ? 9 : 0, semicolon - 1 - (chess960 ? 9 : 0));
        std::istringstream fields(line.substr(semicolon));
        std::string tag;
        std::uint64_t count = 0;
        int depth = 0;
        std::uint64_t expected = 0;
        while (fields >> tag >> count) {
            depth = std::stoi(tag.substr(2));
            expected = count;
        }
        Board board;
        board.setFromFen(fen, chess960);
        const Timed t = timedPerft(board, depth);
        totalNodes += t.nodes;
        totalSeconds += t.seconds;
        const bool ok = t.nodes == expected;
        if (!ok) ++wrong;
        std::printf("%-80s %5d %12llu %9.3f %12.0f%s\n", fen.c_str(), depth, static_cast<unsigned long long>(t.nodes),
                    t.seconds, nps(t), ok ? "" : "  WRONG");
    }
    std::printf("total: %llu nodes in %.3f s, %.0f nps\n\n", static_cast<unsigned long long>(totalNodes), totalSeconds,
                totalSeconds > 0 ? double(totalNodes) / totalSeconds : 0.0);
    return wrong;
}

}  // namespace

int main(int argc, char** argv) {
    initialiseEngine(ostrel64Variant);
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";

    int wrong = 0;
    if (!quick) wrong = runReferencePositions();

    std::vector<double> speeds;
    for (int run = 0; run < START_POSITION_RUNS; ++run) {
        Board board;
        const Timed t = timedPerft(board, START_POSITION_DEPTH);
        if (t.nodes != 119060324) ++wrong;
        speeds.push_back(nps(t));
        std::printf("perft %d of the start position, run %d: %llu nodes in %.3f s, %.0f nps\n", START_POSITION_DEPTH,
                    run + 1, static_cast<unsigned long long>(t.nodes), t.seconds, nps(t));
    }
    std::sort(speeds.begin(), speeds.end());
    std::printf("perft %d of the start position: median %.0f nps over %d runs\n", START_POSITION_DEPTH,
                speeds[speeds.size() / 2], START_POSITION_RUNS);
    if (wrong) std::printf("%d WRONG COUNTS\n", wrong);
    return wrong ? 1 : 0;
}
