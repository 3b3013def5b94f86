// Tests of the search: the transposition table, static exchange, ordering and
// killers, the principal variation and legality tests, quiescence, the
// alpha-beta node and the root, for both programs' variants.
#include "board/board.h"
#include "board_helpers.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/search.h"
#include "search/tt.h"
#include "variant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace search_params;

namespace {

constexpr std::uint64_t NEVER = std::numeric_limits<std::uint64_t>::max();
constexpr int INF = ROOT_INFINITY;
const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string MIDDLEGAME = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";
const std::string FOOLS_MATE = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
const std::string STALEMATE = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";

// Stops the search once the node count reaches stopAtNodes; records the
// polls and what the search reports.
class TestHost final : public SearchHost {
public:
    std::uint64_t stopAtNodes = NEVER;
    int inputPolls = 0, deadlineChecks = 0;
    std::vector<std::string> draws, lines;  // lines: the PV texts in report order

    bool checkInputAndClock(bool betweenIterations) override {
        EXPECT_FALSE(betweenIterations);
        ++inputPolls;
        return nodeCount >= stopAtNodes;
    }
    bool deadlinePassed() override {
        ++deadlineChecks;
        return nodeCount >= stopAtNodes;
    }
    void reportBestLine(const SearchInfo& info) override {
        std::string text;
        Colour mover = info.mover;
        for (int i = 0; i < info.lineLength; ++i, mover = opponent(mover)) text += moveToText(info.line[i], mover) + " ";
        lines.push_back(text);
    }
    void reportRootDraw(const char* text) override { draws.emplace_back(text); }
};

// The generated move with this coordinate text (NO_MOVE if none), and the
// ordering key orderMoves gives it at this ply with this hash move.
Move findMove(const Board& board, const std::string& text, std::uint32_t* key = nullptr, int ply = 1,
              Move hashMove = NO_MOVE) {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    if (key) orderMoves(board, list, count, hashMove, ply);
    for (int i = 0; i < count; ++i) {
        if (moveToText(list[i], board) != text) continue;
        if (key) *key = moveScore(list[i]);
        return list[i];
    }
    return NO_MOVE;
}

// The position of a FEN after the given moves.
Board fromFen(const std::string& fen, const std::string& moves = "") {
    Board board;
    board.setFromFen(fen);
    std::istringstream words(moves);
    for (std::string word; words >> word;) {
        const Move move = findMove(board, word);
        EXPECT_NE(move, NO_MOVE) << word;
        board.makeMove(move);
    }
    return board;
}

class SearchTest : public ::testing::Test {
protected:
    TestHost host;

    void SetUp() override {
        reset(ostrel64Variant);
        setSearchHost(&host);
    }
    void TearDown() override {
        setSearchHost(nullptr);
        setTableAllocationLimit(0);
        if (transpositionTableMegabytes() != ostrel64Variant.initialHashMB)
            resizeTranspositionTable(ostrel64Variant.initialHashMB);
        reset(ostrel64Variant);
    }
    // Empty table and killers, no stop, no node budget.
    static void reset(const Variant& variant) {
        selectVariant(variant);
        resetSearchMemory();
        stopSearch = false;
        nodeCount = 0;
        searchNodeLimit = NEVER;
    }
    // Iterative deepening to a fixed depth, as the driver runs it.
    static int searchTo(Board& board, int depth, Move* best = nullptr) {
        Move move = NO_MOVE, ponder = NO_MOVE;
        stopSearch = false;
        nodeCount = 0;
        int score = 0;
        for (int d = 1; d <= depth && !stopSearch; ++d) score = rootSearch(board, d, move, ponder, 0);
        if (best) *best = move;
        return score;
    }
};

TEST_F(SearchTest, MatesAreFoundAtTheirDepthWithDistanceScores) {
    // The first iteration that sees the mate, its score, the mating first moves.
    const struct { const char* fen; int depth, score; const char* firstMoves; } cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 1, MATE_SCORE - 1, "a1a8"},
        {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", 3, MATE_SCORE - 3, "a2a7 b1b7"},
        {"1r4k1/r7/8/8/8/8/8/7K b - - 0 1", 3, MATE_SCORE - 3, "b8b2 a7a2"},
        {"k7/8/3K4/8/8/8/8/6Q1 w - - 0 1", 5, MATE_SCORE - 5, "g1g7"},
        // The quiet mating move comes late in the root order and is first
        // searched two plies shallower, so this mate in two needs depth 4.
        {"7k/8/5K2/8/8/8/8/6R1 w - - 0 1", 4, MATE_SCORE - 3, "f6f7"},
        // Only checks and captures follow the discovered check: quiescence
        // (every move when in check) sees the mate in three at depth 1.
        {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 1, MATE_SCORE - 5, "f6a6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        resetSearchMemory();
        Board board = fromFen(c.fen);
        Move best = NO_MOVE;
        EXPECT_LT(searchTo(board, c.depth - 1), MATE_SCORE - 100);
        host.lines.clear();
        EXPECT_EQ(searchTo(board, c.depth, &best), c.score);
        // The reported line starts with the best move; the board is untouched.
        const std::string bestText = moveToText(best, board);
        EXPECT_NE(std::string(c.firstMoves).find(bestText), std::string::npos) << bestText;
        ASSERT_FALSE(host.lines.empty());
        EXPECT_EQ(host.lines.back().rfind(bestText + " ", 0), 0u) << host.lines.back();
        EXPECT_EQ(board.hashKey(), fromFen(c.fen).hashKey());
    }
}

TEST_F(SearchTest, MatedStalematedAndDrawnPositions) {
    Move best = NO_MOVE;
    // Roots without a legal move set no best move and report nothing; inside
    // the tree, mated at ply 3 scores 3 - 1000000.
    Board mated = fromFen(FOOLS_MATE), stalemated = fromFen(STALEMATE);
    EXPECT_EQ(searchTo(mated, 3, &best), -MATE_SCORE);
    EXPECT_EQ(best, NO_MOVE);
    EXPECT_EQ(searchTo(stalemated, 3, &best), 0);
    EXPECT_EQ(best, NO_MOVE);
    EXPECT_TRUE(host.lines.empty());
    EXPECT_EQ(alphaBeta(mated, 2, 3, -INF, INF, false, 0), 3 - MATE_SCORE);
    EXPECT_EQ(alphaBeta(stalemated, 2, 3, -INF, INF, false, 0), 0);

    // Fifty-move countdown at 0: a note at every depth and no move; inside
    // the tree 0 before the depth or the table is looked at.
    Board fifty = fromFen("7k/8/8/8/8/8/8/1Q4K1 w - - 100 80");
    EXPECT_EQ(searchTo(fifty, 3, &best), 0);
    EXPECT_EQ(best, NO_MOVE);
    EXPECT_EQ(host.draws, std::vector<std::string>(3, "info string 50 move reached, DRAW!"));
    EXPECT_EQ(alphaBeta(fifty, 0, 3, -500, 500, false, 1), 0);
    EXPECT_EQ(alphaBeta(fifty, 5, 3, -500, 500, false, 1), 0);
    // One half-move left: every reply reaches the rule, so a queen up is 0.
    Board lastMove = fromFen("7k/8/8/8/8/8/8/1Q4K1 w - - 99 80");
    EXPECT_EQ(searchTo(lastMove, 3, &best), 0);
    EXPECT_NE(best, NO_MOVE);

    // The start position on the board for the third time: drawn at the root.
    host.draws.clear();
    Board threefold = fromFen(START, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(searchTo(threefold, 2, &best), 0);
    EXPECT_EQ(best, NO_MOVE);
    EXPECT_EQ(host.draws, std::vector<std::string>(2, "info string 3-fold repetetion, DRAW!"));
    // For the second time it is searched at the root, but inside the tree one
    // earlier occurrence is a draw, found before any move is made.
    host.draws.clear();
    Board twofold = fromFen(START, "g1f3 g8f6 f3g1 f6g8");
    searchTo(twofold, 2, &best);
    EXPECT_NE(best, NO_MOVE);
    EXPECT_TRUE(host.draws.empty());
    nodeCount = 0;
    EXPECT_EQ(alphaBeta(twofold, 4, 1, -INF, INF, false, 0), 0);
    EXPECT_EQ(nodeCount, 0u);
}

TEST_F(SearchTest, TableCutoffsStoresKillersAndCheckExtension) {
    // A deep exact entry cuts a zero-window node but never a full-window one.
    Board board = fromFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    ttStore(board.hashKey(), -INF, INF, findMove(board, "f1b5"), 9, 1234, 1);
    EXPECT_EQ(alphaBeta(board, 3, 2, 1233, 1235, false, 1), 1234);
    EXPECT_EQ(nodeCount, 0u);
    EXPECT_NE(alphaBeta(board, 1, 2, -INF, INF, false, 0), 1234);

    // A quiet refutation stores a lower bound with its move and is a killer;
    // a capture that refutes is none.
    resetSearchMemory();
    Board start;
    const TTEntry& slot = ttSlot(start.hashKey());
    EXPECT_EQ(alphaBeta(start, 1, 2, -1000, -999, false, 1), -999);
    EXPECT_TRUE(ttMatches(slot, start.hashKey()));
    EXPECT_EQ(slot.bound, BOUND_LOWER);
    EXPECT_TRUE(sameMove(killerMoves[2][killerSlot], slot.move));
    clearKillers();
    Board capture = fromFen("4k2r/8/8/3p4/4P3/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(alphaBeta(capture, 1, 2, -1000, -999, false, 1), -999);
    EXPECT_TRUE(sameMove(ttSlot(capture.hashKey()).move, findMove(capture, "e4d5")));
    for (Move killer : killerMoves[2]) EXPECT_EQ(killer, NO_MOVE);
    // A fail low stores an upper bound and keeps the move the slot had.
    resetSearchMemory();
    ttStore(start.hashKey(), 10, 20, findMove(start, "g1f3"), 0, 5, 3);
    EXPECT_EQ(alphaBeta(start, 1, 2, 5000, 5001, false, 0), 5000);
    EXPECT_EQ(slot.bound, BOUND_UPPER);
    EXPECT_EQ(slot.depth, 1);
    EXPECT_TRUE(sameMove(slot.move, findMove(start, "g1f3")));

    // In check, a depth-1 node searches its replies at depth 1: they store
    // their results (quiescence would not), and the node its unextended depth.
    resetSearchMemory();
    const std::string checkFen = "r3k3/8/8/8/8/8/8/R3K2q w - - 0 1";
    Board check = fromFen(checkFen);
    const Board reply = fromFen(checkFen, "e1e2");
    alphaBeta(check, 1, 2, -INF, INF, false, 0);
    EXPECT_EQ(ttSlot(check.hashKey()).depth, 1);
    EXPECT_TRUE(ttMatches(ttSlot(reply.hashKey()), reply.hashKey()));
    EXPECT_EQ(ttSlot(reply.hashKey()).depth, 1);
}

TEST_F(SearchTest, NullMoveConditionsAndDepth) {
    // The reduced search after a null move stores the position it looked at
    // (the same men, the other side to move), which no real move of these
    // shallow searches reaches: its depth tells what was searched.
    auto nullSearchDepth = [](const std::string& fen, int depth, bool nullMoveDone, int zeroWindow) {
        resetSearchMemory();
        Board board = fromFen(fen);
        alphaBeta(board, depth, 2, 99, 100, nullMoveDone, zeroWindow);
        board.makeNullMove();
        const TTEntry& slot = ttSlot(board.hashKey());
        return ttMatches(slot, board.hashKey()) ? slot.depth : -1;
    };
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 2, false, 1), 1);
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 5, false, 1), 1);
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 6, false, 1), 2);
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 1, false, 1), -1);  // extended depth 1
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 3, true, 1), -1);   // right after a null move
    EXPECT_EQ(nullSearchDepth(MIDDLEGAME, 3, false, 0), -1);  // full window
    EXPECT_EQ(nullSearchDepth("r3k3/8/8/8/8/8/8/R3K2q w - - 0 1", 1, false, 1), -1);  // in check
    // Only while each side keeps a piece.
    EXPECT_EQ(nullSearchDepth("r3k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1", 3, false, 1), -1);
    EXPECT_EQ(nullSearchDepth("r3k3/pppp4/8/8/8/8/PPPP4/R3K3 w - - 0 1", 3, false, 1), 1);
}

TEST_F(SearchTest, StopNodeBudgetAndPolls) {
    // Told to stop, everything unwinds and the board comes back; every
    // further node returns at once. The deadline is asked once per 1024 made
    // moves, so the stop comes soon after.
    Board board = fromFen(MIDDLEGAME);
    host.stopAtNodes = 3000;
    searchTo(board, 12);
    EXPECT_TRUE(stopSearch);
    EXPECT_EQ(board.hashKey(), fromFen(MIDDLEGAME).hashKey());
    EXPECT_EQ(board.ply, 0);
    EXPECT_LT(nodeCount, 3000u + 2 * 1024);
    const std::uint64_t before = nodeCount;
    EXPECT_EQ(alphaBeta(board, 5, 1, -7, 7, false, 0), -7);
    EXPECT_EQ(nodeCount, before);

    // The node budget stops the search on its own, with a move to play.
    host.stopAtNodes = NEVER;
    searchNodeLimit = 5000;
    Move best = NO_MOVE;
    searchTo(board, 12, &best);
    EXPECT_TRUE(stopSearch);
    EXPECT_GE(nodeCount, 5000u);
    EXPECT_LT(nodeCount, 5000u + 1024);
    EXPECT_NE(best, NO_MOVE);
    searchNodeLimit = NEVER;

    // The input is polled only when the low 16 bits of the count are all
    // ones; the deadline is asked on the first node of a new block.
    stopSearch = false;
    nodeCount = 0;
    alphaBeta(board, 0, 1, -20, 20, false, 1);
    host.inputPolls = host.deadlineChecks = 0;
    host.stopAtNodes = 0;
    nodeCount = 0x2FFFE;
    EXPECT_EQ(alphaBeta(board, 3, 1, -20, 20, false, 1), -20);
    EXPECT_EQ(host.inputPolls, 0);
    EXPECT_EQ(host.deadlineChecks, 1);
    stopSearch = false;
    nodeCount = 0x2FFFF;
    EXPECT_EQ(alphaBeta(board, 3, 1, -20, 20, false, 1), -20);
    EXPECT_EQ(host.inputPolls, 1);
    EXPECT_EQ(host.deadlineChecks, 1);
}

TEST_F(SearchTest, TableSizesAndAResizeThatCannotAllocate) {
    ASSERT_TRUE(resizeTranspositionTable(3));
    EXPECT_EQ(ttEntryCount, 98304u);
    EXPECT_EQ(ttMask, 65535u);
    ASSERT_TRUE(resizeTranspositionTable(1));
    EXPECT_EQ(ttMask, 32767u);
    for (std::uint64_t key : {std::uint64_t{0}, std::uint64_t{12345}, NEVER}) EXPECT_FALSE(ttMatches(ttSlot(key), key));

    // Too big: the previous size comes back, emptied. When even that no
    // longer fits, halve until a size does; the search works with it.
    ASSERT_TRUE(resizeTranspositionTable(8));
    setTableAllocationLimit(std::size_t{16} << 20);
    ttStore(99, 0, 10, makeMove(MOVE_QUIET, 1, 18), 4, 5, 1);
    EXPECT_FALSE(resizeTranspositionTable(2048));
    EXPECT_EQ(transpositionTableMegabytes(), 8);
    EXPECT_FALSE(ttMatches(ttSlot(99), 99));
    setTableAllocationLimit(std::size_t{5} << 20);
    EXPECT_FALSE(resizeTranspositionTable(32));
    EXPECT_EQ(transpositionTableMegabytes(), 4);
    EXPECT_EQ(ttMask, 4 * 32768u - 1);
    Board board;
    searchTo(board, 3);
    EXPECT_TRUE(ttMatches(ttSlot(board.hashKey()), board.hashKey()));
}

TEST_F(SearchTest, TableReplacementRule) {
    const std::uint64_t a = 0x5A5A0011ULL, b = a + (std::uint64_t{1} << 40);  // one slot, two positions
    ASSERT_EQ(&ttSlot(a), &ttSlot(b));
    const Move m1 = makeMove(MOVE_QUIET, 12, 28), m2 = makeMove(MOVE_CAPTURE, 5, 33, KNIGHT);
    // Whether the table is emptied first, the store, and the slot afterwards.
    const struct {
        bool fresh; std::uint64_t key; int alpha0, beta; Move move; int depth, score, ply;
        std::uint64_t slotKey; std::uint32_t slotBound; int slotDepth; Move slotMove;
    } steps[] = {
        // The bound follows from the window; an upper bound gives way to any
        // result at least as deep.
        {true, a, 10, 20, m1, 5, 10, 3, a, BOUND_UPPER, 5, m1},
        {false, a, 10, 20, m2, 4, 10, 3, a, BOUND_UPPER, 5, m1},
        {false, a, 10, 20, m2, 5, 25, 3, a, BOUND_LOWER, 5, m2},
        // A lower bound gives way to an exact result, not to an upper bound
        // even if deeper; an exact entry only to an exact result.
        {false, a, 10, 20, m1, 9, 3, 3, a, BOUND_LOWER, 5, m2},
        {false, a, 10, 20, m1, 5, 15, 3, a, BOUND_EXACT, 5, m1},
        {false, a, 10, 20, m2, 30, 25, 3, a, BOUND_EXACT, 5, m1},
        // Scores of exactly 0 are kept out below the root's children.
        {false, b, -5, 5, m2, 40, 0, 2, a, BOUND_EXACT, 5, m1},
        {false, b, -5, 5, m2, 40, 0, 1, b, BOUND_EXACT, 40, m2},
        // Exact results at ply 0 and 1 get in over a deeper bound of another
        // position, but not over a deeper exact entry of the same one.
        {true, a, 10, 20, m1, 9, 30, 4, a, BOUND_LOWER, 9, m1},
        {false, b, 10, 20, m2, 1, 15, 2, a, BOUND_LOWER, 9, m1},
        {false, b, 10, 20, m2, 1, 15, 1, b, BOUND_EXACT, 1, m2},
        {false, b, -INF, INF, m2, 10, 50, 0, b, BOUND_EXACT, 10, m2},
        {false, b, -INF, INF, m1, 3, 60, 0, b, BOUND_EXACT, 10, m2},
        {false, b, -INF, INF, m1, 10, 60, 0, b, BOUND_EXACT, 10, m1},
        // A fail low without a move keeps this position's move, not another's.
        {true, a, 10, 20, m1, 2, 5, 3, a, BOUND_UPPER, 2, m1},
        {false, a, 10, 20, NO_MOVE, 2, 5, 3, a, BOUND_UPPER, 2, m1},
        {false, b, 10, 20, NO_MOVE, 2, 5, 3, b, BOUND_UPPER, 2, NO_MOVE},
    };
    const TTEntry& slot = ttSlot(a);
    for (const auto& s : steps) {
        if (s.fresh) resetSearchMemory();
        ttStore(s.key, s.alpha0, s.beta, s.move, s.depth, s.score, s.ply);
        SCOPED_TRACE(testing::Message() << "store of depth " << s.depth << " score " << s.score << " ply " << s.ply);
        EXPECT_EQ(slot.key, s.slotKey);
        EXPECT_EQ(slot.bound, s.slotBound);
        EXPECT_EQ(slot.depth, s.slotDepth);
        EXPECT_EQ(slot.move, s.slotMove);
    }
    // Nothing is stored while the search is stopping.
    resetSearchMemory();
    stopSearch = true;
    ttStore(a, 10, 20, m1, 2, 15, 0);
    EXPECT_FALSE(ttMatches(slot, a));
}

TEST_F(SearchTest, StaticExchangeAndOrderingKeys) {
    const struct { const char* fen; const char* move; int exchange; std::uint32_t key; } cases[] = {
        // Pawn, queen and king take a defended pawn; a rook takes a free queen.
        {"4k3/8/3p4/4p3/3P4/8/8/4K3 w - - 0 1", "d4e5", 0, 100},
        {"4k3/8/3p4/4p3/8/8/8/4QK2 w - - 0 1", "e1e5", 100 - 900, 0},
        {"4k3/8/8/8/8/3p4/2p5/3K4 w - - 0 1", "d1c2", 100 - 999999, 0},
        {"4k3/8/8/4q3/8/8/8/4RK2 w - - 0 1", "e1e5", 900, 128},
        // A king recaptures only when nothing can take it back.
        {"4k3/5p2/8/8/2B5/5Q2/8/4K3 w - - 0 1", "f3f7", 100, 103},
        {"4k3/5p2/8/8/8/5Q2/8/4K3 w - - 0 1", "f3f7", 100 - 900, 0},
        // Men behind the capturer, and behind a recapturing rook (x-ray), join in.
        {"3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 100, 103},
        {"3rk3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5", 100 - 500, 1},
        {"3qk3/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5", -200, 2},
        {"3k4/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5", 100, 103},
        // En passant: the taken pawn leaves the file, the rook behind recaptures.
        {"4k3/8/8/3pP3/8/3r4/8/4K3 w - d6 0 1", "e5d6", 0, 100},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 100, 103},
        // Pawns recapture first, then the cheapest man on the lowest square.
        {"4k3/8/8/2n1n3/8/3P4/2P5/4K3 b - - 0 1", "c5d3", -100, 2},
        // A promotion counts as the pawn.
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q", 0, 50 + 8 - 3},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q", -100, 2},
        // Quiet moves to safe squares by piece-square gain (mirrored for
        // Black), to attacked ones in the losing bands.
        {"4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", "b1c3", 0, 50 + 6 - 1},
        {"1n2k3/8/8/8/8/8/8/4K3 b - - 0 1", "b8c6", 0, 55},
        {"4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", "e1d1", 0, 50 - 4},
        {"4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1", "b1c3", -300, 1},
        {"4k3/8/8/3pp3/1p6/8/4P3/1N1RK3 w - - 0 1", "e2e4", -100, 2},
        {"4k3/8/8/3pp3/1p6/8/4P3/1N1RK3 w - - 0 1", "d1d4", -500, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fen << " " << c.move);
        const Board board = fromFen(c.fen);
        std::uint32_t key = 999;
        const Move move = findMove(board, c.move, &key);
        ASSERT_NE(move, NO_MOVE);
        EXPECT_EQ(staticExchange(board, move), c.exchange);
        EXPECT_EQ(key, c.key);
    }

    // Castling, the hash move, and killers only at their own ply.
    const Board castle = fromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    const Move castling = findMove(castle, "e1g1"), rookMove = findMove(castle, "h1h5");
    storeKiller(withScore(rookMove, 77), 3);
    std::uint32_t keys[5] = {};
    findMove(castle, "e1g1", &keys[0]);
    findMove(castle, "e1g1", &keys[1], 1, castling);
    findMove(castle, "h1h5", &keys[2], 3);
    findMove(castle, "h1h5", &keys[3], 4);
    findMove(castle, "h1h5", &keys[4], 3, rookMove);
    EXPECT_EQ(std::vector<std::uint32_t>(keys, keys + 5), (std::vector<std::uint32_t>{55, 255, 99, 50, 255}));

    // The sorted list runs by key, then by the whole word, both descending.
    Board start;
    Move list[MAX_MOVES] = {};
    int count = 0;
    start.generateMoves(list, count);
    orderMoves(start, list, count, findMove(start, "a2a3"), 0);
    EXPECT_EQ(moveToText(list[0], start), "a2a3");
    for (int i = 1; i < count; ++i) {
        EXPECT_GE(moveScore(list[i - 1]), moveScore(list[i]));
        EXPECT_GT(list[i - 1], list[i]);
    }
}

// White to move with Black's king attacked: only a damaged position does
// this (no FEN is accepted for it).
Board damagedBoard(const std::string& placement) {
    Board board;
    for (Bitboard& bb : board.bitboards) bb = 0;
    EXPECT_TRUE(board.parsePlacement(placement));
    board.sideToMove = WHITE;
    board.ply = 0;
    board.history[0] = HistoryEntry{0, NO_SQUARE, 100, 0};
    board.bitboards[BB_OCCUPIED] = board.bitboards[BB_WHITE] | board.bitboards[BB_WHITE + BLACK];
    board.bitboards[BB_EMPTY] = ~board.bitboards[BB_OCCUPIED];
    board.rebuild();
    return board;
}

// The picker must hand out exactly the sequence of one full ordering, keys
// included, whatever the hash move and killers. Walks the perft positions
// two plies deep, taking the hash move and killers from each list in turn
// (a killer from another position too, which may or may not be in the list).
void compareWithFullOrdering(Board& board, int depth, int& compared) {
    Move generated[MAX_MOVES];
    int count = 0;
    board.generateMoves(generated, count);
    const int ply = 7;
    Move ordered[MAX_MOVES], picked[MAX_MOVES];
    for (int scenario = 0; scenario < 4 && count > 0; ++scenario) {
        const Move hashMove = scenario == 3 ? NO_MOVE : generated[(compared + scenario) % count];
        const Move stale = killerMoves[ply][0];
        for (int slot = 0; slot < KILLER_SLOTS; ++slot) killerMoves[ply][slot] = generated[(compared * 7 + slot * 5) % count];
        if (scenario == 1) killerMoves[ply][2] = stale;
        std::copy(generated, generated + count, ordered);
        std::copy(generated, generated + count, picked);
        orderMoves(board, ordered, count, hashMove, ply);
        MovePicker picker(board, picked, count, hashMove, ply);
        int n = 0;
        for (Move move; picker.next(move);) {
            ASSERT_LT(n, count);
            ASSERT_EQ(move, ordered[n]) << "move " << n << " of " << count;
            ++n;
        }
        ASSERT_EQ(n, count);
        ++compared;
    }
    if (depth == 0) return;
    forEachLegalMove(board, [&](Move) { compareWithFullOrdering(board, depth - 1, compared); });
}

TEST_F(SearchTest, MovePickerGivesTheOrderOfOneFullSort) {
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    int compared = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        Board board = fromFen(line.substr(0, line.find(';')));
        compareWithFullOrdering(board, 2, compared);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(compared, 40000);

    // Lists that offer the king (taken by a pawn, knight, bishop, rook, queen,
    // king), and one that does not (a pawn never takes it by promotion).
    testing::internal::CaptureStdout();
    for (const char* placement : {"8/8/8/3k4/4P3/8/8/4K3", "8/8/8/3k4/8/2N5/8/4K3", "8/8/8/3k4/8/8/B7/4K3",
                                  "8/8/8/3k4/8/8/8/3RK3", "8/8/8/3k4/8/8/8/Q3K3", "8/8/8/8/8/8/3k4/4K3",
                                  "7k/6P1/8/8/8/8/8/4K3"}) {
        Board board = damagedBoard(placement);
        compareWithFullOrdering(board, 0, compared);
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(SearchTest, KillerSlots) {
    const Move a = makeMove(MOVE_QUIET, 1, 18), b = makeMove(MOVE_QUIET, 6, 21), c = makeMove(MOVE_QUIET, 12, 28),
               d = makeMove(MOVE_DOUBLE_PUSH, 11, 27), e = makeMove(MOVE_CASTLE_SHORT, 0, 0);
    // Empty slots after the current one fill first.
    storeKiller(a, 5);
    storeKiller(b, 5);
    storeKiller(c, 5);
    EXPECT_EQ(killerSlot, 0);
    EXPECT_EQ(std::vector<Move>(killerMoves[5], killerMoves[5] + 3), (std::vector<Move>{c, a, b}));
    // A move already there (whatever its ordering bits) changes nothing; with
    // all three full, the current slot is overwritten and stays current.
    storeKiller(withScore(a, 200), 5);
    storeKiller(d, 5);
    EXPECT_EQ(killerSlot, 0);
    EXPECT_EQ(std::vector<Move>(killerMoves[5], killerMoves[5] + 3), (std::vector<Move>{d, a, b}));
    // The slot index is shared by every ply; no rows beyond ply 63.
    storeKiller(e, 6);
    EXPECT_EQ(killerSlot, 1);
    EXPECT_EQ(killerMoves[6][1], e);
    storeKiller(a, KILLER_PLIES);
    storeKiller(a, 1000);
    EXPECT_EQ(killerSlot, 1);
}

TEST_F(SearchTest, KingCaptureDiagnosticPrintsTheBoardAndCarriesOn) {
    Board board = damagedBoard("4k3/2p5/8/8/8/8/5P2/4R1K1");

    testing::internal::CaptureStdout();
    std::uint32_t key = 0;
    findMove(board, "e1e8", &key, 2);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("EZ MI EZ??? seeValue >= 10000\n"), std::string::npos);
    EXPECT_NE(out.find("e1xe8\n"), std::string::npos);
    EXPECT_EQ(key, 128u);

    // The search goes on through it: taking the king wins, and nothing looks
    // for the missing king afterwards.
    testing::internal::CaptureStdout();
    Move best = NO_MOVE;
    const int score = searchTo(board, 3, &best);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(score, MATE_SCORE - 1);
    EXPECT_EQ(moveToText(best, board), "e1e8");
    EXPECT_EQ(host.lines.back(), "e1e8 ");
    EXPECT_EQ(board.ply, 0);
}

// The line as text, each move followed by a space, as the test host writes it.
std::string lineText(const PrincipalVariation& pv, Colour mover) {
    std::string text;
    for (int i = 0; i < pv.length; ++i, mover = opponent(mover)) text += moveToText(pv.moves[i], mover) + " ";
    return text;
}

TEST_F(SearchTest, PrincipalVariationIsLegalStartsWithTheBestMoveAndStopsAtARepetition) {
    Board board;
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::uint64_t keys[4];
    Move moves[4];
    for (int i = 0; i < 4; ++i) {
        keys[i] = board.hashKey();
        moves[i] = findMove(board, cycle[i]);
        board.makeMove(moves[i]);
    }
    // The game has gone round once: the position after g1f3 has been met.
    const Board before = board;
    PrincipalVariation pv;
    const auto walk = [&](Move best) {
        nodeCount = 100;
        principalVariation(board, best, pv);
        EXPECT_EQ(nodeCount, 100u) << "the walk counts no nodes";
        EXPECT_EQ(boardDifference(board, before), "");
        return lineText(pv, WHITE);
    };
    // An empty table: the best move alone.
    const Move e2e4 = findMove(board, "e2e4");
    EXPECT_EQ(walk(e2e4), "e2e4 ");
    EXPECT_EQ(pv.ponder, NO_MOVE);

    // A repetition of the game ends the line at once, but the table's legal
    // reply is still the move to ponder on.
    for (int i = 0; i < 4; ++i) ttStore(keys[i], -INF, INF, moves[i], 4, 30, 0);
    EXPECT_EQ(walk(moves[0]), "g1f3 ");
    EXPECT_TRUE(sameMove(pv.ponder, moves[1]));
    // The root's entry (g1f3) is not the best move: the line follows the best move.
    EXPECT_EQ(walk(e2e4), "e2e4 ");

    // A fresh game: the exact entries form a cycle, shown up to the move
    // that repeats the root, once.
    board = Board();
    const Board start = board;
    nodeCount = 0;
    principalVariation(board, moves[0], pv);
    EXPECT_EQ(lineText(pv, WHITE), "g1f3 g8f6 f3g1 f6g8 ");
    EXPECT_EQ(boardDifference(board, start), "");
    // The walk the node count has always included goes round the cycle to
    // its 64-move cap.
    walkTableLine(board);
    EXPECT_EQ(nodeCount, std::uint64_t(PV_MAX_MOVES));
    EXPECT_EQ(boardDifference(board, start), "");

    // Entries that are not legal where they are met (another position's
    // through a key collision) end the line and are never pondered on: a
    // White move where Black is to move, and the move of a pinned rook.
    ttStore(keys[1], -INF, INF, findMove(board, "e2e4"), 4, 30, 0);
    principalVariation(board, moves[0], pv);
    EXPECT_EQ(lineText(pv, WHITE), "g1f3 ");
    EXPECT_EQ(pv.ponder, NO_MOVE);
    Board pinned = fromFen("4k3/4r3/8/8/8/8/4R3/K7 w - - 0 1");
    const Move a1b1 = findMove(pinned, "a1b1");
    Board after = pinned;
    after.makeMove(a1b1);
    ttStore(after.hashKey(), -INF, INF, findMove(after, "e7a7"), 4, 30, 0);
    principalVariation(pinned, a1b1, pv);
    EXPECT_EQ(lineText(pv, WHITE), "a1b1 ");
    EXPECT_EQ(pv.ponder, NO_MOVE);
    // A bound is no line either.
    ttStore(after.hashKey(), 0, 10, findMove(after, "e8d8"), 4, 30, 3);
    principalVariation(pinned, a1b1, pv);
    EXPECT_EQ(lineText(pv, WHITE), "a1b1 ");
    EXPECT_EQ(pv.ponder, NO_MOVE);
}

TEST_F(SearchTest, CheckmateAndTacticalMoveTests) {
    Board foolsMate = fromFen(FOOLS_MATE), stalemate = fromFen(STALEMATE);
    Board onlyCapture = fromFen("7k/8/8/8/8/8/6q1/7K w - - 0 1");
    Board castleOut = fromFen("4k3/8/8/8/8/8/r7/r3K2R w K - 0 1");  // castling is no escape
    ASSERT_NE(findMove(castleOut, "e1g1"), NO_MOVE);
    EXPECT_TRUE(isCheckmated(foolsMate));
    EXPECT_FALSE(isCheckmated(stalemate));
    EXPECT_FALSE(isCheckmated(onlyCapture));
    EXPECT_TRUE(isCheckmated(castleOut));

    const struct { const char* fen; const char* move; bool tactical; } cases[] = {
        {"4k3/8/8/4b3/8/8/8/4K1N1 w - - 0 1", "g1f3", false},  // knight hits a bishop
        {"4k3/8/8/4r3/8/8/8/4K1N1 w - - 0 1", "g1f3", true},   // knight hits a rook
        {"4k3/8/8/3n4/8/4P3/8/4K3 w - - 0 1", "e3e4", true},   // pawn hits a knight
        {"4k3/8/8/6n1/8/8/8/4K1B1 w - - 0 1", "g1e3", false},  // bishop hits only a knight
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", true},      // check by the moved man
        {"4k3/3q4/8/8/8/8/8/4K3 w - - 0 1", "e1f2", false},    // quiet king move
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", true},   // capture
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true},      // castling
    };
    for (const auto& c : cases) {
        Board board = fromFen(c.fen);
        const Move move = findMove(board, c.move);
        board.makeMove(move);
        EXPECT_EQ(isTacticalMove(move, board), c.tactical) << c.fen << " " << c.move;
    }
}

TEST_F(SearchTest, QuiescenceRules) {
    // Mated at ply 5, entered from a depth-0 node or directly.
    Board mated = fromFen(FOOLS_MATE);
    EXPECT_EQ(quiesce(mated, 0, 5, -INF, INF), 5 - MATE_SCORE);
    EXPECT_EQ(alphaBeta(mated, 0, 5, -INF, INF, false, 0), 5 - MATE_SCORE);

    // Without captures: the stand pat, clamped fail-hard into the window.
    Board start;
    const int e = sideToMoveEvaluation(start);
    EXPECT_EQ(quiesce(start, 0, 1, e - 10, e + 10), e);
    EXPECT_EQ(quiesce(start, 0, 1, e + 1, e + 10), e + 1);
    EXPECT_EQ(quiesce(start, 0, 1, e - 10, e - 1), e - 1);

    // A capture that loses material is not even made; an even one is.
    Board queenTakes = fromFen("4k3/8/3p4/4p3/8/8/8/4QK2 w - - 0 1");
    Board pawnTakes = fromFen("4k3/8/3p4/4p3/3P4/8/8/4K3 w - - 0 1");
    nodeCount = 0;
    quiesce(queenTakes, 0, 1, -INF, INF);
    EXPECT_EQ(nodeCount, 0u);
    quiesce(pawnTakes, 0, 1, -INF, INF);
    EXPECT_GT(nodeCount, 0u);

    // In check every move is searched and there is no stand pat: the score
    // may fall below the static evaluation.
    Board check = fromFen("4k3/8/8/8/8/1p6/2n5/Q3K3 w - - 0 1");
    EXPECT_LT(quiesce(check, 0, 1, -INF, INF), sideToMoveEvaluation(check));

    // Castling out of check is skipped without being made: the same search
    // without the right makes exactly as many moves.
    Board withRight = fromFen("4k3/8/8/8/8/8/4r3/4K2R w K - 0 1");
    Board withoutRight = fromFen("4k3/8/8/8/8/8/4r3/4K2R w - - 0 1");
    ASSERT_NE(findMove(withRight, "e1g1"), NO_MOVE);
    nodeCount = 0;
    const int scoreWith = quiesce(withRight, 0, 1, -INF, INF);
    const std::uint64_t nodesWith = nodeCount;
    nodeCount = 0;
    EXPECT_EQ(quiesce(withoutRight, 0, 1, -INF, INF), scoreWith);
    EXPECT_EQ(nodeCount, nodesWith);
}

TEST_F(SearchTest, PlyBoundKeepsDeepLinesInsideTheTables) {
    // At the bound both node kinds score the position as it stands, even a mate.
    Board mated = fromFen(FOOLS_MATE);
    EXPECT_EQ(quiesce(mated, 0, MAX_SEARCH_PLY, -INF, INF), sideToMoveEvaluation(mated));
    EXPECT_EQ(alphaBeta(mated, 6, MAX_SEARCH_PLY, -INF, INF, false, 0), sideToMoveEvaluation(mated));
    EXPECT_EQ(nodeCount, 0u);

    // Lines that run into the bound from deep in the tree (checks extend,
    // evasions search every move) stay within history, killers and stack.
    for (const Variant* variant : {&ostrel64Variant, &ostrel32Variant}) {
        selectVariant(*variant);
        for (const std::string& fen : {MIDDLEGAME, std::string("6k1/5ppp/8/3Q4/8/8/2q2PPP/6K1 w - - 0 1")}) {
            Board board = fromFen(fen);
            for (int ply : {60, 63, 64, 100, MAX_SEARCH_PLY - 3}) {
                EXPECT_LT(std::abs(alphaBeta(board, 4, ply, -INF, INF, false, 0)), MATE_SCORE);
                quiesce(board, 0, MAX_SEARCH_PLY - 2, -INF, INF);
                EXPECT_EQ(board.hashKey(), fromFen(fen).hashKey());
                EXPECT_EQ(board.ply, 0);
            }
        }
    }

    // However long the game below the root, no node writes past the history.
    selectVariant(ostrel64Variant);
    for (int rootIndex : {400, 490, HISTORY_SIZE - 3}) {
        Board board = fromFen(MIDDLEGAME);
        board.history[rootIndex] = board.history[0];
        board.ply = rootIndex;
        resetSearchMemory();
        EXPECT_LT(std::abs(searchTo(board, 5)), MATE_SCORE);
        EXPECT_EQ(board.ply, rootIndex);
        EXPECT_EQ(board.hashKey(), board.history[0].hashKey);
    }
}

TEST_F(SearchTest, Ostrel32AdditionsChangeTheSearch) {
    // Only the search additions differ here, not the evaluation.
    static const Variant additions = [] {
        Variant v = ostrel64Variant;
        v.searchAdditions = true;
        return v;
    }();
    // The nodes of one search from an empty table, with a mate for the
    // opponent stored behind the null move if asked.
    auto nodesOf = [](const Variant& variant, const std::string& fen, int depth, int ply, int alpha, int beta,
                      int zeroWindow, int& score, bool mateBehindNullMove = false) {
        reset(variant);
        Board board = fromFen(fen);
        if (mateBehindNullMove) {
            board.makeNullMove();
            ttStore(board.hashKey(), -INF, INF, NO_MOVE, 10, MATE_SCORE - 3, 0);
            board.unmakeNullMove();
        }
        score = alphaBeta(board, depth, ply, alpha, beta, false, zeroWindow);
        return nodeCount;
    };
    int score64 = 0, score32 = 0;

    // Futility: in a depth-2 node far below alpha, quiet moves are skipped,
    // but the quiet rook move that mates gives check and is still searched.
    // Within reach of alpha nothing is futile.
    const std::string futile = "6k1/R4ppp/8/8/8/8/5PPP/1N4K1 w - - 0 1";
    EXPECT_LT(nodesOf(additions, futile, 2, 1, 3000, 3001, 1, score32),
              nodesOf(ostrel64Variant, futile, 2, 1, 3000, 3001, 1, score64));
    EXPECT_EQ(score64, 3001);
    EXPECT_EQ(score32, 3001);
    EXPECT_EQ(nodesOf(additions, futile, 2, 1, -100, 100, 1, score32),
              nodesOf(ostrel64Variant, futile, 2, 1, -100, 100, 1, score64));
    EXPECT_EQ(score64, score32);

    // Mate threat: when passing would get the side to move mated, nothing is
    // pruned, and the node searches what ostrel64 searches.
    const std::string threatened = "6k1/R4ppp/8/n7/8/8/5PPP/1N4K1 w - - 0 1";
    const std::uint64_t pruned = nodesOf(additions, threatened, 2, 1, 3000, 3001, 1, score32);
    const std::uint64_t threat32 = nodesOf(additions, threatened, 2, 1, 3000, 3001, 1, score32, true);
    EXPECT_EQ(score32, 3001);
    EXPECT_EQ(threat32, nodesOf(ostrel64Variant, threatened, 2, 1, 3000, 3001, 1, score64, true));
    EXPECT_LT(pruned, threat32);

    // Internal iterative deepening: a full-window depth-3 node without a
    // table entry first searches itself at depth 1, exactly as if that search
    // had been run before it; a zero-window node does not.
    reset(ostrel64Variant);
    Board start;
    alphaBeta(start, 1, 2, -INF, INF, true, 0);
    const int after64 = alphaBeta(start, 3, 2, -INF, INF, false, 0);
    const std::uint64_t twoSearches = nodeCount;
    EXPECT_EQ(nodesOf(additions, START, 3, 2, -INF, INF, 0, score32), twoSearches);
    EXPECT_EQ(score32, after64);
    EXPECT_EQ(nodesOf(additions, START, 3, 2, 40, 41, 1, score32),
              nodesOf(ostrel64Variant, START, 3, 2, 40, 41, 1, score64));
    // Only ostrel32 has them.
    EXPECT_TRUE(ostrel32Variant.searchAdditions);
    EXPECT_FALSE(ostrel64Variant.searchAdditions);
}

}  // namespace
