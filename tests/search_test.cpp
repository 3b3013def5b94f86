// Tests of the search: the transposition table, static exchange, ordering and
// killers, the principal variation and legality tests, quiescence, the
// alpha-beta node and the root, for both programs' variants.
#include "board/board.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/search.h"
#include "search/tt.h"
#include "variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace search_params;

namespace {

constexpr std::uint64_t NEVER = std::numeric_limits<std::uint64_t>::max();

// Never stops unless told to stop at a node count; records what it is told.
class TestHost final : public SearchHost {
public:
    std::uint64_t stopAtNodes = NEVER;
    int inputPolls = 0;
    int deadlineChecks = 0;
    std::vector<std::string> draws;
    std::vector<std::string> lines;  // PV texts in report order
    std::vector<TTEntry> tableAtStop;

    bool checkInputAndClock(bool betweenIterations) override {
        EXPECT_FALSE(betweenIterations);
        ++inputPolls;
        return shouldStop();
    }
    bool deadlinePassed() override {
        ++deadlineChecks;
        return shouldStop();
    }
    void reportBestLine(int, const char* pvText, std::uint64_t, int) override { lines.emplace_back(pvText); }
    void reportRootDraw(const char* text) override { draws.emplace_back(text); }

private:
    bool shouldStop() {
        if (nodeCount < stopAtNodes) return false;
        // Remember the table as it was when the search was told to stop.
        if (tableAtStop.empty()) tableAtStop.assign(transpositionTable, transpositionTable + ttEntryCount);
        return true;
    }
};

Board fromFen(const std::string& fen) {
    Board board;
    board.setFromFen(fen);
    return board;
}

// The generated move whose coordinate text is the word; NO_MOVE if none.
Move findMove(const Board& board, const std::string& text) {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i)
        if (moveToText(list[i], board) == text) return list[i];
    return NO_MOVE;
}

void play(Board& board, const std::string& moves) {
    std::istringstream words(moves);
    std::string word;
    while (words >> word) {
        const Move move = findMove(board, word);
        ASSERT_NE(move, NO_MOVE) << word;
        board.makeMove(move);
    }
}

// The key orderMoves wrote for the move with this text.
std::uint32_t orderingKey(const Board& board, const std::string& text, Move hashMove = NO_MOVE, int ply = 1) {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    orderMoves(board, list, count, hashMove, ply);
    for (int i = 0; i < count; ++i)
        if (moveToText(list[i], board) == text) return moveScore(list[i]);
    ADD_FAILURE() << "no move " << text;
    return 999;
}

int exchange(const std::string& fen, const std::string& move) {
    const Board board = fromFen(fen);
    const Move m = findMove(board, move);
    EXPECT_NE(m, NO_MOVE) << move;
    return staticExchange(board, m);
}

class SearchTest : public ::testing::Test {
protected:
    TestHost host;

    void SetUp() override {
        selectVariant(ostrel64Variant);
        setSearchHost(&host);
        resetSearchMemory();
        stopSearch = false;
        nodeCount = 0;
        searchNodeLimit = NEVER;
    }
    void TearDown() override {
        setSearchHost(nullptr);
        selectVariant(ostrel64Variant);
        stopSearch = false;
        searchNodeLimit = NEVER;
        setTableAllocationLimit(0);
        if (transpositionTableMegabytes() != ostrel64Variant.initialHashMB)
            resizeTranspositionTable(ostrel64Variant.initialHashMB);
        resetSearchMemory();
    }

    // Iterative deepening to a fixed depth, as the driver runs it.
    int searchTo(Board& board, int depth, Move& best, Move& ponder) {
        best = ponder = NO_MOVE;
        stopSearch = false;
        nodeCount = 0;
        int score = 0;
        for (int d = 1; d <= depth && !stopSearch; ++d) score = rootSearch(board, d, best, ponder, 0);
        return score;
    }
    int searchTo(Board& board, int depth) {
        Move best, ponder;
        return searchTo(board, depth, best, ponder);
    }
};

// ---------------------------------------------------------------------------
// Root and alpha-beta: mates, draws, stops
// ---------------------------------------------------------------------------

TEST_F(SearchTest, MatesAreFoundAtTheirDepthWithDistanceScores) {
    struct Case {
        const char* fen;
        int depth;  // the first iteration that sees the mate
        int score;
        const char* firstMoves;  // any of these mates
    };
    const Case cases[] = {
        // Mate in one, two and three, each found by the iteration of its length.
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 1, MATE_SCORE - 1, "a1a8"},
        {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", 3, MATE_SCORE - 3, "a2a7 b1b7"},
        {"1r4k1/r7/8/8/8/8/8/7K b - - 0 1", 3, MATE_SCORE - 3, "b8b2 a7a2"},
        {"k7/8/3K4/8/8/8/8/6Q1 w - - 0 1", 5, MATE_SCORE - 5, "g1g7"},
        // A quiet first move late in the root order is searched two plies
        // shallower first, so this mate in two needs one iteration more.
        {"7k/8/5K2/8/8/8/8/6R1 w - - 0 1", 4, MATE_SCORE - 3, "f6f7"},
        // A discovered check followed only by checks and captures: the
        // quiescence search (every move when in check) sees the mate in three
        // from the first iteration on.
        {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 1, MATE_SCORE - 5, "f6a6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        resetSearchMemory();
        Board board = fromFen(c.fen);
        const std::uint64_t keyBefore = board.hashKey();
        Move best, ponder;
        if (c.depth > 1) {
            EXPECT_LT(searchTo(board, c.depth - 1, best, ponder), MATE_SCORE - 100);
        }
        host.lines.clear();
        EXPECT_EQ(searchTo(board, c.depth, best, ponder), c.score);
        EXPECT_NE(std::string(c.firstMoves).find(moveToText(best, board)), std::string::npos)
            << moveToText(best, board);
        // The reported line starts with the best move; the board is untouched.
        ASSERT_FALSE(host.lines.empty());
        EXPECT_EQ(host.lines.back().rfind(moveToText(best, board) + " ", 0), 0u) << host.lines.back();
        EXPECT_EQ(board.hashKey(), keyBefore);
        EXPECT_EQ(board.ply, 0);
    }
}

TEST_F(SearchTest, CheckmatedAndStalematedRootsSetNoBestMove) {
    Move best, ponder;
    Board mated = fromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    EXPECT_EQ(searchTo(mated, 3, best, ponder), -MATE_SCORE);
    EXPECT_EQ(best, NO_MOVE);

    Board stalemated = fromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(searchTo(stalemated, 3, best, ponder), 0);
    EXPECT_EQ(best, NO_MOVE);
    EXPECT_TRUE(host.lines.empty());
    EXPECT_TRUE(host.draws.empty());
}

TEST_F(SearchTest, RootDrawsAreReportedAndDrawsInsideTheTreeScoreZero) {
    Move best, ponder;

    // Fifty-move countdown already at zero: a note at every depth, score 0.
    Board fifty = fromFen("7k/8/8/8/8/8/8/1Q4K1 w - - 100 80");
    EXPECT_EQ(searchTo(fifty, 3, best, ponder), 0);
    EXPECT_EQ(best, NO_MOVE);
    ASSERT_EQ(host.draws.size(), 3u);
    EXPECT_EQ(host.draws[0], "info string 50 move reached, DRAW!");

    // One half-move left: every reply reaches the rule, so a queen up is 0.
    host.draws.clear();
    Board lastMove = fromFen("7k/8/8/8/8/8/8/1Q4K1 w - - 99 80");
    EXPECT_EQ(searchTo(lastMove, 3, best, ponder), 0);
    EXPECT_NE(best, NO_MOVE);
    EXPECT_TRUE(host.draws.empty());

    // The start position on the board for the third time is a draw at the root.
    Board threefold;
    play(threefold, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(searchTo(threefold, 2, best, ponder), 0);
    EXPECT_EQ(best, NO_MOVE);
    ASSERT_EQ(host.draws.size(), 2u);
    EXPECT_EQ(host.draws[0], "info string 3-fold repetetion, DRAW!");

    // For the second time it is searched normally at the root...
    host.draws.clear();
    Board twofold;
    play(twofold, "g1f3 g8f6 f3g1 f6g8");
    searchTo(twofold, 2, best, ponder);
    EXPECT_NE(best, NO_MOVE);
    EXPECT_TRUE(host.draws.empty());
    // ...but inside the tree one earlier occurrence is a draw, before any other test.
    nodeCount = 0;
    EXPECT_EQ(alphaBeta(twofold, 4, 1, -ROOT_INFINITY, ROOT_INFINITY, false, 0), 0);
    EXPECT_EQ(nodeCount, 0u);

    // An interior node whose countdown is 0 is a draw before depth or table.
    EXPECT_EQ(alphaBeta(fifty, 0, 3, -500, 500, false, 1), 0);
    EXPECT_EQ(alphaBeta(fifty, 5, 3, -500, 500, false, 1), 0);
}

TEST_F(SearchTest, InteriorNodeScoresMatesStalematesAndTableCutoffs) {
    // Mated three plies from the root scores 3 - 1000000; stalemate 0.
    Board mated = fromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    EXPECT_EQ(alphaBeta(mated, 2, 3, -ROOT_INFINITY, ROOT_INFINITY, false, 0), 3 - MATE_SCORE);
    Board stalemated = fromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(alphaBeta(stalemated, 2, 3, -ROOT_INFINITY, ROOT_INFINITY, false, 0), 0);

    // A deep exact entry cuts a zero-window node but never a full-window one.
    Board board = fromFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const Move hashMove = findMove(board, "f1b5");
    ttStore(board.hashKey(), -ROOT_INFINITY, ROOT_INFINITY, hashMove, 9, 1234, 1);
    nodeCount = 0;
    EXPECT_EQ(alphaBeta(board, 3, 2, 1233, 1234 + 1, false, 1), 1234);
    EXPECT_EQ(nodeCount, 0u);
    EXPECT_NE(alphaBeta(board, 1, 2, -ROOT_INFINITY, ROOT_INFINITY, false, 0), 1234);
    EXPECT_GT(nodeCount, 0u);
}

TEST_F(SearchTest, StoppingUnwindsRestoresTheBoardAndStoresNothing) {
    Board board = fromFen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
    const std::uint64_t keyBefore = board.hashKey();
    host.stopAtNodes = 3000;
    Move best, ponder;
    searchTo(board, 12, best, ponder);
    EXPECT_TRUE(stopSearch);
    EXPECT_EQ(board.hashKey(), keyBefore);
    EXPECT_EQ(board.ply, 0);
    // The deadline is asked once per 1024 made moves, so the stop comes soon after.
    EXPECT_GE(nodeCount, 3000u);
    EXPECT_LT(nodeCount, 3000u + 2 * 1024);
    ASSERT_EQ(host.tableAtStop.size(), ttEntryCount);
    EXPECT_EQ(std::memcmp(host.tableAtStop.data(), transpositionTable, ttEntryCount * sizeof(TTEntry)), 0);
    // Every further node returns at once.
    const std::uint64_t before = nodeCount;
    EXPECT_EQ(alphaBeta(board, 5, 1, -7, 7, false, 0), -7);
    EXPECT_EQ(nodeCount, before);

    // The node budget stops the search on its own.
    stopSearch = false;
    host.stopAtNodes = NEVER;
    searchNodeLimit = 5000;
    searchTo(board, 12, best, ponder);
    EXPECT_TRUE(stopSearch);
    EXPECT_GE(nodeCount, 5000u);
    EXPECT_LT(nodeCount, 5000u + 1024);
    EXPECT_NE(best, NO_MOVE);
}

TEST_F(SearchTest, HostIsPolledAtItsIntervals) {
    Board board = fromFen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
    // Start in a known deadline block.
    nodeCount = 0;
    alphaBeta(board, 0, 1, -20, 20, false, 1);
    host.inputPolls = host.deadlineChecks = 0;
    // The input poll: only when the low 16 bits of the count are all ones.
    host.stopAtNodes = 0;
    nodeCount = 0x2FFFE;
    EXPECT_EQ(alphaBeta(board, 3, 1, -20, 20, false, 1), -20);  // the deadline, asked in a new block
    EXPECT_EQ(host.inputPolls, 0);
    EXPECT_EQ(host.deadlineChecks, 1);
    stopSearch = false;
    nodeCount = 0x2FFFF;
    EXPECT_EQ(alphaBeta(board, 3, 1, -20, 20, false, 1), -20);
    EXPECT_EQ(host.inputPolls, 1);
    EXPECT_TRUE(stopSearch);
    EXPECT_EQ(nodeCount, 0x2FFFFu);

    // The deadline: once in every block of 1024 made moves.
    stopSearch = false;
    host.stopAtNodes = NEVER;
    host.deadlineChecks = 0;
    searchTo(board, 5);
    ASSERT_GE(nodeCount, 20 * 1024u);
    EXPECT_GE(std::uint64_t(host.deadlineChecks), nodeCount / 1024 * 3 / 4);
    EXPECT_LE(std::uint64_t(host.deadlineChecks), nodeCount / 1024 + 1);
    EXPECT_FALSE(stopSearch);
}

// ---------------------------------------------------------------------------
// Transposition table
// ---------------------------------------------------------------------------

TEST_F(SearchTest, TranspositionTableSizesAndFreshEntries) {
    ASSERT_TRUE(resizeTranspositionTable(1));
    EXPECT_EQ(ttEntryCount, 32768u);
    EXPECT_EQ(ttMask, 32767u);
    ASSERT_TRUE(resizeTranspositionTable(3));
    EXPECT_EQ(ttEntryCount, 98304u);
    EXPECT_EQ(ttMask, 65535u);
    ASSERT_TRUE(resizeTranspositionTable(2));
    EXPECT_EQ(ttMask, 65535u);
    // A fresh table matches nothing, key 0 included.
    for (std::uint64_t key : {std::uint64_t{0}, std::uint64_t{12345}, ~std::uint64_t{0}})
        EXPECT_FALSE(ttMatches(ttSlot(key), key));
    const TTEntry& fresh = transpositionTable[ttEntryCount - 1];
    EXPECT_EQ(fresh.bound, BOUND_EMPTY);
    EXPECT_EQ(fresh.score, 1000000);
    EXPECT_EQ(fresh.move, NO_MOVE);
    // A resize empties the table.
    ttStore(77, 0, 10, makeMove(MOVE_QUIET, 12, 28), 3, 5, 4);
    EXPECT_TRUE(ttMatches(ttSlot(77), 77));
    resizeTranspositionTable(2);
    EXPECT_FALSE(ttMatches(ttSlot(77), 77));
}

TEST_F(SearchTest, TranspositionTableReplacementRule) {
    ASSERT_TRUE(resizeTranspositionTable(1));
    const std::uint64_t a = 0x5A5A0000ULL + 17;
    const std::uint64_t b = a + (std::uint64_t{1} << 40);  // same slot, other position
    ASSERT_EQ(&ttSlot(a), &ttSlot(b));
    TTEntry& slot = ttSlot(a);
    const Move m1 = makeMove(MOVE_QUIET, 12, 28), m2 = makeMove(MOVE_CAPTURE, 5, 33, KNIGHT);

    // Bounds follow from where the score lies in the window.
    ttStore(a, 10, 20, m1, 5, 10, 3);
    EXPECT_EQ(slot.bound, BOUND_UPPER);
    EXPECT_TRUE(ttMatches(slot, a));
    EXPECT_FALSE(ttMatches(slot, b));
    // An upper bound gives way to a deeper-or-equal result of any kind...
    ttStore(a, 10, 20, m1, 4, 10, 3);  // ...but not to a shallower one
    EXPECT_EQ(slot.depth, 5);
    ttStore(a, 10, 20, m2, 5, 25, 3);
    EXPECT_EQ(slot.bound, BOUND_LOWER);
    EXPECT_EQ(slot.score, 25);
    EXPECT_TRUE(sameMove(slot.move, m2));
    // A lower bound does not give way to an upper bound, even a deeper one.
    ttStore(a, 10, 20, m1, 9, 3, 3);
    EXPECT_EQ(slot.bound, BOUND_LOWER);
    // It gives way to an exact result; an exact one only to exact.
    ttStore(a, 10, 20, m1, 5, 15, 3);
    EXPECT_EQ(slot.bound, BOUND_EXACT);
    ttStore(a, 10, 20, m2, 30, 25, 3);
    EXPECT_EQ(slot.bound, BOUND_EXACT);
    EXPECT_EQ(slot.depth, 5);

    // Scores of exactly 0 are kept out below the root's children.
    ttStore(b, -5, 5, m2, 40, 0, 2);
    EXPECT_EQ(slot.key, a);
    ttStore(b, -5, 5, m2, 40, 0, 1);
    EXPECT_EQ(slot.key, b);
    EXPECT_EQ(slot.score, 0);

    // Exact results at ply 0 and 1 get in whatever is there...
    resetSearchMemory();
    ttStore(a, 10, 20, m1, 9, 30, 4);  // a depth-9 lower bound
    ttStore(b, 10, 20, m2, 1, 15, 2);  // exact depth 1 at ply 2: refused
    EXPECT_EQ(slot.key, a);
    ttStore(b, 10, 20, m2, 1, 15, 1);  // at ply 1: accepted
    EXPECT_EQ(slot.key, b);
    EXPECT_EQ(slot.depth, 1);
    // ...unless the slot holds an exact entry for the same position.
    ttStore(b, -ROOT_INFINITY, ROOT_INFINITY, m2, 10, 50, 0);
    ttStore(b, -ROOT_INFINITY, ROOT_INFINITY, m1, 3, 60, 0);
    EXPECT_EQ(slot.depth, 10);
    EXPECT_EQ(slot.score, 50);
    ttStore(b, -ROOT_INFINITY, ROOT_INFINITY, m1, 10, 60, 0);
    EXPECT_EQ(slot.score, 60);
    EXPECT_TRUE(sameMove(slot.move, m1));

    // A fail-low without a move keeps the move this position already had;
    // over another position it writes the empty move.
    resetSearchMemory();
    ttStore(a, 10, 20, m1, 2, 5, 3);
    ttStore(a, 10, 20, NO_MOVE, 2, 5, 3);
    EXPECT_EQ(slot.bound, BOUND_UPPER);
    EXPECT_TRUE(sameMove(slot.move, m1));
    ttStore(b, 10, 20, NO_MOVE, 2, 5, 3);
    EXPECT_EQ(slot.key, b);
    EXPECT_EQ(slot.move, NO_MOVE);

    // Nothing is stored while the search is stopping.
    resetSearchMemory();
    stopSearch = true;
    ttStore(a, 10, 20, m1, 2, 15, 0);
    stopSearch = false;
    EXPECT_FALSE(ttMatches(slot, a));
}

TEST_F(SearchTest, ResizeThatCannotAllocateKeepsAUsableTable) {
    ASSERT_TRUE(resizeTranspositionTable(8));
    setTableAllocationLimit(std::size_t{16} << 20);

    // Too big: the previous size comes back, empty and usable.
    ttStore(99, 0, 10, makeMove(MOVE_QUIET, 1, 18), 4, 5, 1);
    EXPECT_FALSE(resizeTranspositionTable(2048));
    EXPECT_EQ(transpositionTableMegabytes(), 8);
    EXPECT_EQ(ttEntryCount, 8 * 32768u);
    EXPECT_EQ(ttMask, 8 * 32768u - 1);
    EXPECT_FALSE(ttMatches(ttSlot(99), 99));
    ttStore(99, 0, 10, makeMove(MOVE_QUIET, 1, 18), 4, 5, 1);
    EXPECT_TRUE(ttMatches(ttSlot(99), 99));

    EXPECT_TRUE(resizeTranspositionTable(16));
    EXPECT_FALSE(resizeTranspositionTable(64));
    EXPECT_EQ(transpositionTableMegabytes(), 16);

    // When even the previous size no longer fits, halve until one does.
    setTableAllocationLimit(std::size_t{5} << 20);
    EXPECT_FALSE(resizeTranspositionTable(32));
    EXPECT_EQ(transpositionTableMegabytes(), 4);
    EXPECT_EQ(ttMask, 4 * 32768u - 1);
    Board board;
    EXPECT_NE(searchTo(board, 3), -ROOT_INFINITY);  // searches with the small table

    setTableAllocationLimit(0);
    EXPECT_TRUE(resizeTranspositionTable(1));
    EXPECT_EQ(ttEntryCount, 32768u);
}

// ---------------------------------------------------------------------------
// Static exchange, ordering keys, killers
// ---------------------------------------------------------------------------

TEST_F(SearchTest, StaticExchangeValues) {
    // Pawn takes a pawn defended by a pawn; queen takes it.
    EXPECT_EQ(exchange("4k3/8/3p4/4p3/3P4/8/8/4K3 w - - 0 1", "d4e5"), 0);
    EXPECT_EQ(exchange("4k3/8/3p4/4p3/8/8/8/4QK2 w - - 0 1", "e1e5"), 100 - 900);
    // Rook takes an undefended queen.
    EXPECT_EQ(exchange("4k3/8/8/4q3/8/8/8/4RK2 w - - 0 1", "e1e5"), 900);
    // King takes a defended pawn.
    EXPECT_EQ(exchange("4k3/8/8/8/8/3p4/2p5/3K4 w - - 0 1", "d1c2"), 100 - 999999);
    // A king may only recapture when nothing can take it back.
    EXPECT_EQ(exchange("4k3/5p2/8/8/2B5/5Q2/8/4K3 w - - 0 1", "f3f7"), 100);
    EXPECT_EQ(exchange("4k3/5p2/8/8/8/5Q2/8/4K3 w - - 0 1", "f3f7"), 100 - 900);
    // The second rook behind the capturer joins in.
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), 100);
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5"), 100 - 500);
    // A queen behind the recapturing rook joins in once the rook has moved (x-ray).
    EXPECT_EQ(exchange("3qk3/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5"), -200);
    EXPECT_EQ(exchange("3k4/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5"), 100);
    // En passant: the taken pawn leaves the file, and the rook behind it recaptures.
    EXPECT_EQ(exchange("4k3/8/8/3pP3/8/3r4/8/4K3 w - d6 0 1", "e5d6"), 0);
    EXPECT_EQ(exchange("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"), 100);
    // Quiet moves: safe, and to a square a pawn attacks.
    EXPECT_EQ(exchange("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", "b1c3"), 0);
    EXPECT_EQ(exchange("4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1", "b1c3"), -300);
    // Pawns recapture first, then the cheapest piece on the lowest square.
    EXPECT_EQ(exchange("4k3/8/8/2n1n3/8/3P4/2P5/4K3 b - - 0 1", "c5d3"), -100);
    // A promotion counts as the pawn.
    EXPECT_EQ(exchange("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q"), 0);
    EXPECT_EQ(exchange("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q"), -100);
}

TEST_F(SearchTest, OrderingKeysAndOrder) {
    // Captures by exchange value.
    EXPECT_EQ(orderingKey(fromFen("4k3/8/3p4/4p3/3P4/8/8/4K3 w - - 0 1"), "d4e5"), 100u);
    EXPECT_EQ(orderingKey(fromFen("4k3/8/3p4/4p3/8/8/8/4QK2 w - - 0 1"), "e1e5"), 0u);
    EXPECT_EQ(orderingKey(fromFen("4k3/8/8/4q3/8/8/8/4RK2 w - - 0 1"), "e1e5"), 128u);
    // Safe quiet moves by piece-square gain, mirrored for Black.
    EXPECT_EQ(orderingKey(fromFen("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"), "b1c3"), 55u);
    EXPECT_EQ(orderingKey(fromFen("1n2k3/8/8/8/8/8/8/4K3 b - - 0 1"), "b8c6"), 55u);
    EXPECT_EQ(orderingKey(fromFen("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"), "e1d1"), 50u - 4);
    // Castling, the hash move, killers (only at their own ply).
    const Board castle = fromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_EQ(orderingKey(castle, "e1g1"), 55u);
    EXPECT_EQ(orderingKey(castle, "e1g1", findMove(castle, "e1g1")), 255u);
    const Move rookMove = findMove(castle, "h1h5");
    EXPECT_EQ(orderingKey(castle, "h1h5", NO_MOVE, 3), 50u);
    storeKiller(withScore(rookMove, 77), 3);
    EXPECT_EQ(orderingKey(castle, "h1h5", NO_MOVE, 3), 99u);
    EXPECT_EQ(orderingKey(castle, "h1h5", NO_MOVE, 4), 50u);
    EXPECT_EQ(orderingKey(castle, "h1h5", rookMove, 3), 255u);
    // Losing moves in three bands.
    const Board losing = fromFen("4k3/8/8/3pp3/1p6/8/4P3/1N1RK3 w - - 0 1");
    EXPECT_EQ(orderingKey(losing, "e2e4"), 2u);  // -100
    EXPECT_EQ(orderingKey(losing, "b1a3"), 1u);  // -300
    EXPECT_EQ(orderingKey(losing, "d1d4"), 0u);  // -500

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

TEST_F(SearchTest, KillerSlots) {
    clearKillers();
    const Move a = makeMove(MOVE_QUIET, 1, 18), b = makeMove(MOVE_QUIET, 6, 21), c = makeMove(MOVE_QUIET, 12, 28),
               d = makeMove(MOVE_DOUBLE_PUSH, 11, 27), e = makeMove(MOVE_CASTLE_SHORT, 0, 0);
    // Empty slots after the current one fill first.
    storeKiller(a, 5);
    EXPECT_EQ(killerSlot, 1);
    EXPECT_EQ(killerMoves[5][1], a);
    storeKiller(b, 5);
    EXPECT_EQ(killerSlot, 2);
    storeKiller(c, 5);
    EXPECT_EQ(killerSlot, 0);
    EXPECT_EQ(killerMoves[5][0], c);
    // A move already there (whatever its ordering bits) changes nothing.
    storeKiller(withScore(a, 200), 5);
    EXPECT_EQ(killerSlot, 0);
    // All three full: the current slot is overwritten and stays current.
    storeKiller(d, 5);
    EXPECT_EQ(killerSlot, 0);
    EXPECT_EQ(killerMoves[5][0], d);
    EXPECT_EQ(killerMoves[5][1], a);
    EXPECT_EQ(killerMoves[5][2], b);
    // The slot index is shared by every ply.
    storeKiller(e, 6);
    EXPECT_EQ(killerSlot, 1);
    EXPECT_EQ(killerMoves[6][1], e);
    // No rows beyond ply 63.
    storeKiller(a, KILLER_PLIES);
    storeKiller(a, 1000);
    EXPECT_EQ(killerSlot, 1);
    clearKillers();
    EXPECT_EQ(killerSlot, 0);
    EXPECT_EQ(killerMoves[5][0], NO_MOVE);
}

TEST_F(SearchTest, KingCaptureDiagnosticPrintsTheBoardAndCarriesOn) {
    // Black is in check with White to move: only a damaged position does this.
    Board board;
    for (Bitboard& bb : board.bitboards) bb = 0;
    board.addPiece(WHITE, KING, 6);
    board.addPiece(WHITE, ROOK, 4);
    board.addPiece(WHITE, PAWN, 13);
    board.addPiece(BLACK, KING, 60);
    board.addPiece(BLACK, PAWN, 50);
    board.sideToMove = WHITE;
    board.ply = 0;
    board.history[0] = HistoryEntry{0, NO_SQUARE, 100, 0};
    board.bitboards[BB_OCCUPIED] = board.bitboards[BB_WHITE] | board.bitboards[BB_WHITE + BLACK];
    board.bitboards[BB_EMPTY] = ~board.bitboards[BB_OCCUPIED];
    board.rebuild();

    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    testing::internal::CaptureStdout();
    orderMoves(board, list, count, NO_MOVE, 2);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("EZ MI EZ??? seeValue >= 10000\n"), std::string::npos);
    EXPECT_NE(out.find("player to move: White"), std::string::npos);
    EXPECT_NE(out.find("e1xe8\n"), std::string::npos);
    EXPECT_EQ(moveToText(list[0], board), "e1e8");
    EXPECT_EQ(moveScore(list[0]), 128u);

    // The search goes on through it: taking the king wins, and nothing looks
    // for the missing king afterwards.
    testing::internal::CaptureStdout();
    Move best, ponder;
    const int score = searchTo(board, 3, best, ponder);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(score, MATE_SCORE - 1);
    EXPECT_EQ(moveToText(best, board), "e1e8");
    EXPECT_EQ(host.lines.back(), "e1e8 ");
    EXPECT_EQ(board.ply, 0);
}

// ---------------------------------------------------------------------------
// Principal variation and the small tests
// ---------------------------------------------------------------------------

TEST_F(SearchTest, PrincipalVariationFollowsExactEntries) {
    Board board;
    const std::uint64_t startKey = board.hashKey();
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::uint64_t keys[4];
    Move moves[4];
    for (int i = 0; i < 4; ++i) {
        keys[i] = board.hashKey();
        moves[i] = findMove(board, cycle[i]);
        board.makeMove(moves[i]);
    }
    for (int i = 3; i >= 0; --i) board.unmakeMove(moves[i]);
    char text[PV_TEXT_SIZE];
    Move ponder = makeMove(MOVE_QUIET, 1, 2);

    // An empty table: empty text, no ponder move.
    EXPECT_STREQ(principalVariationText(board, text, ponder), "");
    EXPECT_EQ(ponder, NO_MOVE);

    // The next position holds only a bound: one move, no ponder move.
    ttStore(keys[0], -ROOT_INFINITY, ROOT_INFINITY, moves[0], 4, 30, 0);
    ttStore(keys[1], 0, 10, moves[1], 4, 30, 3);
    EXPECT_STREQ(principalVariationText(board, text, ponder), "g1f3 ");
    EXPECT_EQ(ponder, NO_MOVE);

    // A cycle of exact entries is cut at 64 moves; the board comes back.
    for (int i = 0; i < 4; ++i) ttStore(keys[i], -ROOT_INFINITY, ROOT_INFINITY, moves[i], 4, 30, 0);
    principalVariationText(board, text, ponder);
    std::string expected;
    for (int i = 0; i < 16; ++i) expected += "g1f3 g8f6 f3g1 f6g8 ";
    EXPECT_EQ(std::string(text), expected);
    EXPECT_EQ(std::strlen(text), std::size_t(PV_MAX_MOVES) * 5);
    EXPECT_TRUE(sameMove(ponder, moves[1]));
    EXPECT_EQ(board.hashKey(), startKey);
    EXPECT_EQ(board.ply, 0);
}

TEST_F(SearchTest, CheckmateAndTacticalMoveTests) {
    Board foolsMate = fromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    EXPECT_TRUE(isCheckmated(foolsMate));
    Board onlyCapture = fromFen("7k/8/8/8/8/8/6q1/7K w - - 0 1");
    EXPECT_TRUE(onlyCapture.inCheck());
    EXPECT_FALSE(isCheckmated(onlyCapture));
    Board stalemate = fromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_FALSE(isCheckmated(stalemate));
    // Castling is not an escape from check.
    Board castleOut = fromFen("4k3/8/8/8/8/8/r7/r3K2R w K - 0 1");
    ASSERT_NE(findMove(castleOut, "e1g1"), NO_MOVE);
    EXPECT_TRUE(isCheckmated(castleOut));

    auto tactical = [](const std::string& fen, const std::string& text) {
        Board board = fromFen(fen);
        const Move move = findMove(board, text);
        EXPECT_NE(move, NO_MOVE) << text;
        board.makeMove(move);
        return isTacticalMove(move, board);
    };
    EXPECT_FALSE(tactical("4k3/8/8/4b3/8/8/8/4K1N1 w - - 0 1", "g1f3"));  // knight hits a bishop
    EXPECT_TRUE(tactical("4k3/8/8/4r3/8/8/8/4K1N1 w - - 0 1", "g1f3"));   // knight hits a rook
    EXPECT_TRUE(tactical("4k3/8/8/3n4/8/4P3/8/4K3 w - - 0 1", "e3e4"));   // pawn hits a knight
    EXPECT_FALSE(tactical("4k3/8/8/3n4/8/8/8/4K1B1 w - - 0 1", "g1f2"));  // bishop sees nothing bigger
    EXPECT_FALSE(tactical("4k3/8/8/6n1/8/8/8/4K1B1 w - - 0 1", "g1e3"));  // bishop hits only a knight
    EXPECT_TRUE(tactical("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8"));      // check by the moved man
    EXPECT_FALSE(tactical("4k3/3q4/8/8/8/8/8/4K3 w - - 0 1", "e1f2"));    // quiet king move
    EXPECT_TRUE(tactical("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5"));   // capture
    EXPECT_TRUE(tactical("4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1"));      // castling
    EXPECT_FALSE(tactical("4k3/8/8/8/8/8/B7/4K3 w - - 0 1", "a2b1"));     // nothing attacked
}

// ---------------------------------------------------------------------------
// Quiescence
// ---------------------------------------------------------------------------

TEST_F(SearchTest, QuiescenceRules) {
    // Mated at ply 5, entered from a depth-0 node or directly.
    Board mated = fromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    EXPECT_EQ(quiesce(mated, 0, 5, -ROOT_INFINITY, ROOT_INFINITY), 5 - MATE_SCORE);
    EXPECT_EQ(alphaBeta(mated, 0, 5, -ROOT_INFINITY, ROOT_INFINITY, false, 0), 5 - MATE_SCORE);

    // Without captures: the stand pat, clamped fail-hard into the window.
    Board start;
    const int e = sideToMoveEvaluation(start);
    EXPECT_EQ(quiesce(start, 0, 1, e - 10, e + 10), e);
    EXPECT_EQ(quiesce(start, 0, 1, e + 1, e + 10), e + 1);
    EXPECT_EQ(quiesce(start, 0, 1, e - 10, e - 1), e - 1);

    // A capture that loses material is not even made; an even one is.
    Board queenTakes = fromFen("4k3/8/3p4/4p3/8/8/8/4QK2 w - - 0 1");
    nodeCount = 0;
    quiesce(queenTakes, 0, 1, -ROOT_INFINITY, ROOT_INFINITY);
    EXPECT_EQ(nodeCount, 0u);
    Board pawnTakes = fromFen("4k3/8/3p4/4p3/3P4/8/8/4K3 w - - 0 1");
    quiesce(pawnTakes, 0, 1, -ROOT_INFINITY, ROOT_INFINITY);
    EXPECT_GT(nodeCount, 0u);

    // In check every move is searched and there is no stand pat: the score
    // may fall below the static evaluation.
    Board check = fromFen("4k3/8/8/8/8/1p6/2n5/Q3K3 w - - 0 1");
    ASSERT_TRUE(check.inCheck());
    EXPECT_LT(quiesce(check, 0, 1, -ROOT_INFINITY, ROOT_INFINITY), sideToMoveEvaluation(check));

    // Castling out of check is skipped without being made: the same search
    // without the right makes exactly as many moves.
    Board withRight = fromFen("4k3/8/8/8/8/8/4r3/4K2R w K - 0 1");
    Board withoutRight = fromFen("4k3/8/8/8/8/8/4r3/4K2R w - - 0 1");
    ASSERT_TRUE(withRight.inCheck());
    ASSERT_NE(findMove(withRight, "e1g1"), NO_MOVE);
    nodeCount = 0;
    const int scoreWith = quiesce(withRight, 0, 1, -ROOT_INFINITY, ROOT_INFINITY);
    const std::uint64_t nodesWith = nodeCount;
    nodeCount = 0;
    const int scoreWithout = quiesce(withoutRight, 0, 1, -ROOT_INFINITY, ROOT_INFINITY);
    EXPECT_EQ(nodesWith, nodeCount);
    EXPECT_EQ(scoreWith, scoreWithout);
}

TEST_F(SearchTest, PlyBoundKeepsDeepLinesInsideTheTables) {
    // At the bound both node kinds score the position as it stands, even a mate.
    Board mated = fromFen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    nodeCount = 0;
    EXPECT_EQ(quiesce(mated, 0, MAX_SEARCH_PLY, -ROOT_INFINITY, ROOT_INFINITY), sideToMoveEvaluation(mated));
    EXPECT_EQ(alphaBeta(mated, 6, MAX_SEARCH_PLY, -ROOT_INFINITY, ROOT_INFINITY, false, 0),
              sideToMoveEvaluation(mated));
    EXPECT_EQ(nodeCount, 0u);

    // Lines that run into the bound from deep in the tree (checks extend,
    // evasions search every move) stay within history, killers and stack.
    for (const Variant* variant : {&ostrel64Variant, &ostrel32Variant}) {
        selectVariant(*variant);
        for (const char* fen : {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
                                "6k1/5ppp/8/3Q4/8/8/2q2PPP/6K1 w - - 0 1"}) {
            Board board = fromFen(fen);
            const std::uint64_t key = board.hashKey();
            for (int ply : {60, 63, 64, 100, MAX_SEARCH_PLY - 3}) {
                const int score = alphaBeta(board, 4, ply, -ROOT_INFINITY, ROOT_INFINITY, false, 0);
                EXPECT_GT(score, -MATE_SCORE);
                EXPECT_LT(score, MATE_SCORE);
                EXPECT_EQ(board.hashKey(), key);
                EXPECT_EQ(board.ply, 0);
                quiesce(board, 0, MAX_SEARCH_PLY - 2, -ROOT_INFINITY, ROOT_INFINITY);
            }
        }
    }

    // However long the game below the root, no node writes past the history.
    selectVariant(ostrel64Variant);
    for (int rootIndex : {400, 490, HISTORY_SIZE - 3}) {
        Board board = fromFen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
        board.history[rootIndex] = board.history[0];
        board.ply = rootIndex;
        const std::uint64_t key = board.hashKey();
        resetSearchMemory();
        const int score = searchTo(board, 5);
        EXPECT_GT(score, -MATE_SCORE);
        EXPECT_LT(score, MATE_SCORE);
        EXPECT_EQ(board.ply, rootIndex);
        EXPECT_EQ(board.hashKey(), key);
    }
}

// ---------------------------------------------------------------------------
// ostrel32 additions
// ---------------------------------------------------------------------------

TEST_F(SearchTest, Ostrel32AdditionsChangeTheSearch) {
    // The two programs' whole searches differ at the same depth.
    const char* middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";
    std::uint64_t nodes[2];
    for (const Variant* variant : {&ostrel64Variant, &ostrel32Variant}) {
        selectVariant(*variant);
        resetSearchMemory();
        Board board = fromFen(middlegame);
        searchTo(board, 5);
        nodes[variant == &ostrel32Variant] = nodeCount;
    }
    EXPECT_NE(nodes[0], nodes[1]);

    // From here on only the search additions differ, not the evaluation.
    static const Variant additionsOnly = [] {
        Variant v = ostrel64Variant;
        v.searchAdditions = true;
        return v;
    }();
    auto nodesAt = [](const Variant& variant, const std::string& fen, int depth, int ply, int alpha, int beta,
                      int zeroWindow, int& score) {
        selectVariant(variant);
        resetSearchMemory();
        Board board = fromFen(fen);
        nodeCount = 0;
        score = alphaBeta(board, depth, ply, alpha, beta, false, zeroWindow);
        return nodeCount;
    };
    int score64 = 0, score32 = 0;

    // Futility: in a depth-2 node far below alpha, quiet moves are skipped,
    // but the quiet rook move that mates gives check and is still searched.
    const std::string futile = "6k1/R4ppp/8/8/8/8/5PPP/1N4K1 w - - 0 1";
    const std::uint64_t full = nodesAt(ostrel64Variant, futile, 2, 1, 3000, 3001, 1, score64);
    const std::uint64_t pruned = nodesAt(additionsOnly, futile, 2, 1, 3000, 3001, 1, score32);
    EXPECT_EQ(score64, 3001);
    EXPECT_EQ(score32, 3001);
    EXPECT_LT(pruned, full);
    // Within reach of alpha nothing is futile and both search alike.
    EXPECT_EQ(nodesAt(ostrel64Variant, futile, 2, 1, -100, 100, 1, score64),
              nodesAt(additionsOnly, futile, 2, 1, -100, 100, 1, score32));
    EXPECT_EQ(score64, score32);

    // Mate threat: when passing would get the side to move mated, nothing is
    // pruned. The null-move reply finds a stored mate for the opponent.
    const std::string threatened = "6k1/R4ppp/8/n7/8/8/5PPP/1N4K1 w - - 0 1";
    const std::uint64_t withoutThreat = nodesAt(additionsOnly, threatened, 2, 1, 3000, 3001, 1, score32);
    auto storeThreat = [&] {
        Board board = fromFen(threatened);
        board.makeNullMove();
        ttStore(board.hashKey(), -ROOT_INFINITY, ROOT_INFINITY, NO_MOVE, 10, MATE_SCORE - 3, 0);
    };
    auto withThreat = [&](const Variant& variant, int& score) {
        selectVariant(variant);
        resetSearchMemory();
        storeThreat();
        Board board = fromFen(threatened);
        nodeCount = 0;
        score = alphaBeta(board, 2, 1, 3000, 3001, false, 1);
        return nodeCount;
    };
    const std::uint64_t threat32 = withThreat(additionsOnly, score32);
    const std::uint64_t threat64 = withThreat(ostrel64Variant, score64);
    EXPECT_EQ(score32, 3001);
    EXPECT_EQ(threat32, threat64);
    EXPECT_LT(withoutThreat, threat32);

    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    // Internal iterative deepening: a full-window depth-3 node without a
    // table entry first searches itself at depth 1, exactly as if that
    // search had been run before it.
    Board quiet;
    selectVariant(ostrel64Variant);
    resetSearchMemory();
    nodeCount = 0;
    alphaBeta(quiet, 1, 2, -ROOT_INFINITY, ROOT_INFINITY, true, 0);
    const int after64 = alphaBeta(quiet, 3, 2, -ROOT_INFINITY, ROOT_INFINITY, false, 0);
    const std::uint64_t twoSearches = nodeCount;
    int after32 = 0;
    EXPECT_EQ(nodesAt(additionsOnly, start, 3, 2, -ROOT_INFINITY, ROOT_INFINITY, 0, after32), twoSearches);
    EXPECT_EQ(after32, after64);
    // A zero-window node does not do it.
    EXPECT_EQ(nodesAt(ostrel64Variant, start, 3, 2, 40, 41, 1, score64),
              nodesAt(additionsOnly, start, 3, 2, 40, 41, 1, score32));
}

}  // namespace
