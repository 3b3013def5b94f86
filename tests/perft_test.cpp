// Perft counts of the reference positions, the exact "perft N" text, and a
// walk over several positions that checks every make/unmake round trip and
// the incremental hash against a rebuild from scratch.
#include "board/board.h"
#include "board/gamemoves.h"
#include "board/perft.h"
#include "board_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Depths are chosen per position: the deepest whose count stays below this
// bound, so the whole run takes a fraction of a second in Release. Deeper
// counts are checked by scripts/perft-deep.sh.
constexpr std::uint64_t PERFT_TEST_NODE_LIMIT = 300000;

struct PerftCase {
    std::string fen;
    std::vector<std::pair<int, std::uint64_t>> counts;  // depth, expected leaves
};

std::vector<PerftCase> loadPerftCases() {
    std::vector<PerftCase> cases;
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t semicolon = line.find(';');
        PerftCase entry;
        entry.fen = line.substr(0, semicolon);
        std::istringstream fields(line.substr(semicolon));
        std::string tag;
        std::uint64_t count = 0;
        while (fields >> tag >> count) entry.counts.emplace_back(std::stoi(tag.substr(2)), count);
        cases.push_back(entry);
    }
    return cases;
}

class PerftTest : public ::testing::TestWithParam<PerftCase> {};

TEST_P(PerftTest, LeafCountsMatchReference) {
    const PerftCase& entry = GetParam();
    Board board;
    board.setFromFen(entry.fen);
    const std::uint64_t hashBefore = board.hashKey();
    int checked = 0;
    for (const auto& [depth, expected] : entry.counts) {
        if (expected >= PERFT_TEST_NODE_LIMIT) break;
        EXPECT_EQ(perft(board, depth), expected) << entry.fen << " depth " << depth;
        ++checked;
    }
    EXPECT_GE(checked, 3) << "too shallow to mean much: " << entry.fen;
    EXPECT_EQ(board.ply, 0);
    EXPECT_EQ(board.hashKey(), hashBefore);
}

INSTANTIATE_TEST_SUITE_P(ReferencePositions, PerftTest, ::testing::ValuesIn(loadPerftCases()));

TEST(PerftData, FileIsReadAndComplete) {
    const auto cases = loadPerftCases();
    ASSERT_EQ(cases.size(), 22u);
    for (const auto& entry : cases) EXPECT_GE(entry.counts.size(), 5u) << entry.fen;
}

TEST(PerftDivide, TextListsLegalMovesInGenerationOrder) {
    Board board;
    std::string expected;
    for (char file = 'a'; file <= 'h'; ++file) {
        expected += std::string{file} + "2" + file + "3: 1\n";
        expected += std::string{file} + "2" + file + "4: 1\n";
    }
    expected += "b1a3: 1\nb1c3: 1\ng1f3: 1\ng1h3: 1\n\nNodes searched: 20\n";
    EXPECT_EQ(perftDivide(board, 1), expected);

    // Castling out of check is left out, like every move that leaves the
    // king attacked: the rook on e8 checks the king on e1.
    board.setFromFen("4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    const std::string checked = perftDivide(board, 1);
    EXPECT_EQ(checked.find("e1g1"), std::string::npos);
    EXPECT_EQ(checked.find("e1c1"), std::string::npos);
    EXPECT_NE(checked.find("e1d1: 1\n"), std::string::npos);
    EXPECT_NE(checked.find("\nNodes searched: " + std::to_string(perft(board, 1)) + "\n"), std::string::npos);

    // An interrupted count keeps the moves counted in full and gives no
    // total; the board is left as it was.
    const Board start;
    board = start;
    int asked = 0;
    const std::string stopped = perftDivide(board, 5, [&] { return ++asked > 2; });
    EXPECT_GT(asked, 2);
    EXPECT_EQ(stopped.find("Nodes searched"), std::string::npos);
    EXPECT_EQ(expected.rfind(stopped.substr(0, stopped.find(':')), 0), 0u) << stopped;
    EXPECT_EQ(boardDifference(board, start), "");
    EXPECT_EQ(perftDivide(board, 3, [] { return false; }), perftDivide(board, 3));

    board.setFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const std::string free = perftDivide(board, 2);
    EXPECT_NE(free.find("e1g1: "), std::string::npos);
    EXPECT_NE(free.find("e1c1: "), std::string::npos);
    EXPECT_NE(free.find("\nNodes searched: " + std::to_string(perft(board, 2)) + "\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Round trips
// ---------------------------------------------------------------------------

struct WalkStats {
    std::uint64_t moves = 0, castles = 0, enPassant = 0, promotions = 0, promotionCaptures = 0, nulls = 0;
    std::string failure;
};

void checkedWalk(Board& board, int depth, WalkStats& stats) {
    if (!stats.failure.empty()) return;
    const Board before = board;

    board.makeNullMove();
    ++stats.nulls;
    if (std::string d = incrementalDifference(board); !d.empty()) stats.failure = "after null move: " + d;
    board.unmakeNullMove();
    if (std::string d = boardDifference(board, before); !d.empty()) stats.failure = "after null unmake: " + d;

    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);

    // The capture generator gives exactly the captures, en-passant captures
    // and queen promotions of the full list, in the same order.
    Move captures[MAX_MOVES];
    int captureCount = 0;
    board.generateCaptures(captures, captureCount);
    std::vector<Move> expected;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t kind = moveKind(list[i]);
        if (kind == MOVE_CAPTURE || kind == MOVE_EN_PASSANT || kind == MOVE_PROMO_QUEEN || kind == MOVE_PROMO_CAPTURE_QUEEN)
            expected.push_back(list[i]);
    }
    if (std::vector<Move>(captures, captures + captureCount) != expected) stats.failure = "capture generator";

    std::uint64_t legal = 0;
    for (int i = 0; i < count && stats.failure.empty(); ++i) {
        const Move move = list[i];
        const std::string text = moveToText(move, board);
        // Every generated move, legal or not, must round-trip.
        board.makeMove(move);
        ++stats.moves;
        if (std::string d = incrementalDifference(board); !d.empty()) stats.failure = "after " + text + ": " + d;
        board.unmakeMove(move);
        if (std::string d = boardDifference(board, before); !d.empty()) stats.failure = "unmake " + text + ": " + d;

        if (!makeMoveIfLegal(board, move)) continue;
        ++legal;
        if (depth > 1) {
            switch (moveKind(move)) {
            case MOVE_CASTLE_SHORT:
            case MOVE_CASTLE_LONG: ++stats.castles; break;
            case MOVE_EN_PASSANT: ++stats.enPassant; break;
            default:
                if (isPromotion(move)) ++(isCapture(move) ? stats.promotionCaptures : stats.promotions);
            }
            checkedWalk(board, depth - 1, stats);
        }
        board.unmakeMove(move);
    }
    // Perft counts the last ply without making the moves: it must agree.
    if (stats.failure.empty() && perft(board, 1) != legal) stats.failure = "perft 1 differs from the moves made";
}

TEST(MakeUnmake, EveryMoveOfAWalkRestoresTheBoardAndKeepsTheHash) {
    const std::pair<const char*, int> walks[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 3},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3},
        {"8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1", 4},
        {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 3},
        {"r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1", 2},
    };
    WalkStats stats;
    for (const auto& [fen, depth] : walks) {
        Board board;
        board.setFromFen(fen);
        checkedWalk(board, depth, stats);
        ASSERT_TRUE(stats.failure.empty()) << fen << ": " << stats.failure;
    }
    // The walk must actually have met every special move.
    EXPECT_GT(stats.castles, 0u);
    EXPECT_GT(stats.enPassant, 0u);
    EXPECT_GT(stats.promotions, 0u);
    EXPECT_GT(stats.promotionCaptures, 0u);
    EXPECT_GT(stats.moves, 100000u);
}

}  // namespace
