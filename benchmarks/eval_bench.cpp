// Average time of one evaluate() call over the positions of perft walks from
// tests/data/perft.epd (depth 3, depth 2 for the large middlegames).
//
// Positions are collected first (as FEN text, since a Board with its history
// is several kilobytes). They are then set up in small groups that stay in
// the cache, as the search's one board does, and each group is evaluated
// round after round, so that consecutive calls still see different positions.
#include "eval/eval.h"
#include "startup.h"
#include "variant.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr int GROUP_SIZE = 64;
constexpr int ROUNDS = 50;
constexpr int PASSES = 3;

std::string fenOf(const Board& board) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Square square = makeSquare(file, rank);
            const int kind = board.squareKind[square];
            if (kind == EMPTY) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            const char letter = "pnbrqk"[kind];
            fen += (board.colourSet(WHITE) & squareBit(square)) ? char(letter - 'a' + 'A') : letter;
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    fen += board.sideToMove == WHITE ? " w " : " b ";
    const int rights = board.current().ooStatus;
    std::string castling;
    if (rights & CASTLE_WHITE_SHORT) castling += 'K';
    if (rights & CASTLE_WHITE_LONG) castling += 'Q';
    if (rights & CASTLE_BLACK_SHORT) castling += 'k';
    if (rights & CASTLE_BLACK_LONG) castling += 'q';
    return fen + (castling.empty() ? "-" : castling) + " - 0 1";
}

void collect(Board& board, int depth, std::unordered_set<std::uint64_t>& seen, std::vector<std::string>& out) {
    if (seen.insert(board.hashKey()).second) out.push_back(fenOf(board));
    if (depth == 0) return;
    forEachLegalMove(board, [&](Move) { collect(board, depth - 1, seen, out); });
}

// Nanoseconds per call, over every position ROUNDS times.
double timeEvaluation(const std::vector<std::string>& fens, std::int64_t& checksum) {
    auto group = std::make_unique<Board[]>(GROUP_SIZE);
    double seconds = 0;
    std::uint64_t calls = 0;
    for (std::size_t start = 0; start < fens.size(); start += GROUP_SIZE) {
        const int size = int(std::min<std::size_t>(GROUP_SIZE, fens.size() - start));
        for (int i = 0; i < size; ++i) group[i].setFromFen(fens[start + i]);
        const auto begin = std::chrono::steady_clock::now();
        for (int round = 0; round < ROUNDS; ++round)
            for (int i = 0; i < size; ++i) checksum += evaluate(group[i]);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        calls += std::uint64_t(size) * ROUNDS;
    }
    return seconds * 1e9 / double(calls);
}

}  // namespace

int main() {
    initialiseEngine(ostrel64Variant);

    // 1. Collect the positions of the walks.
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    std::string line;
    std::unordered_set<std::uint64_t> seen;
    std::vector<std::string> fens;
    auto board = std::make_unique<Board>();
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t d3 = line.find(";D3 ");
        const std::uint64_t leaves = d3 == std::string::npos ? 0 : std::stoull(line.substr(d3 + 4));
        board->setFromFen(line.substr(0, line.find(';')));
        collect(*board, leaves <= 10000 ? 3 : 2, seen, fens);
    }

    // 2. Time both programs' evaluation over the same positions. Each figure
    //    is the fastest of a few passes: on a shared machine the slower passes
    //    measure the other processes.
    std::int64_t checksum = 0;
    auto fastest = [&](const Variant& variant) {
        selectVariant(variant);
        double best = 1e30;
        for (int pass = 0; pass < PASSES; ++pass) best = std::min(best, timeEvaluation(fens, checksum));
        return best;
    };
    const double ns64 = fastest(ostrel64Variant);
    const double ns32 = fastest(ostrel32Variant);
    selectVariant(ostrel64Variant);

    std::printf("positions: %zu, calls per position: %d, fastest of %d passes\n", fens.size(), ROUNDS, PASSES);
    std::printf("evaluate ostrel64: %.1f ns per call\n", ns64);
    std::printf("evaluate ostrel32: %.1f ns per call\n", ns32);
    std::printf("(checksum %lld)\n", static_cast<long long>(checksum));
    return 0;
}
