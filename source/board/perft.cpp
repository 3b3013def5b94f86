#include "board/perft.h"

#include "board/legality.h"

namespace {

// The last ply is counted, not made; above it only legal moves are made.
std::uint64_t countLegalMoves(Board& board) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    const LegalityTest test(board);
    if (!test.everyOrdinaryMoveLegal()) {
        std::uint64_t legal = 0;
        for (int i = 0; i < count; ++i) legal += test.isLegal(board, list[i]);
        return legal;
    }
    // The usual case: only king moves, castling and en passant need a look.
    const Square king = test.kingSquare();
    std::uint64_t legal = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = list[i];
        // The kinds LegalityTest::settledByMaking names, tested in place:
        // through the helper this leaf loop measured 1% more instructions.
        const std::uint32_t kind = moveKind(move);
        if (moveFrom(move) == king || kind == MOVE_EN_PASSANT || kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG)
            legal += test.isLegal(board, move);
        else
            ++legal;
    }
    return legal;
}

// Positions one move before the leaves between two questions to the
// interruption test: a few milliseconds of counting.
constexpr int PERFT_POLL_INTERVAL = 4096;

struct NeverInterrupted {
    bool poll() { return false; }
    bool stopped() const { return false; }
};

// Asks the caller's test once in PERFT_POLL_INTERVAL polls, and keeps the
// answer once it is yes.
class InterruptionPoll {
public:
    explicit InterruptionPoll(const std::function<bool()>& interrupted) : interrupted_(interrupted) {}
    bool poll() {
        if (stopped_ || --untilAsked_ > 0) return stopped_;
        untilAsked_ = PERFT_POLL_INTERVAL;
        stopped_ = interrupted_ && interrupted_();
        return stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    const std::function<bool()>& interrupted_;
    int untilAsked_ = PERFT_POLL_INTERVAL;
    bool stopped_ = false;
};

// Polls in the positions one move before the leaves; every node above them
// only looks whether the count has been stopped, so it unwinds at once.
template <class Poll>
std::uint64_t countLeaves(Board& board, int depth, Poll& poll) {
    if (depth <= 0) return 1;
    if (depth == 1 ? poll.poll() : poll.stopped()) return 0;
    if (depth == 1) return countLegalMoves(board);
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    const LegalityTest test(board);
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        if (!test.isLegal(board, list[i])) continue;
        board.makeMove(list[i]);
        leaves += countLeaves(board, depth - 1, poll);
        board.unmakeMove(list[i]);
    }
    return leaves;
}

}  // namespace

std::uint64_t perft(Board& board, int depth) {
    NeverInterrupted never;
    return countLeaves(board, depth, never);
}

std::string perftDivide(Board& board, int depth, const std::function<bool()>& interrupted) {
    InterruptionPoll poll(interrupted);
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    std::string text;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        // The text depends on the side to move, so take it before the move.
        const std::string moveText = moveToText(list[i], board);
        if (!makeMoveIfLegal(board, list[i])) continue;
        const std::uint64_t leaves = countLeaves(board, depth - 1, poll);
        board.unmakeMove(list[i]);
        if (poll.stopped()) return text;
        total += leaves;
        text += moveText + ": " + std::to_string(leaves) + "\n";
    }
    text += "\nNodes searched: " + std::to_string(total) + "\n";
    return text;
}
