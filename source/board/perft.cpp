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
        const std::uint32_t kind = moveKind(move);
        if (moveFrom(move) == king || kind == MOVE_EN_PASSANT || kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG)
            legal += test.isLegal(board, move);
        else
            ++legal;
    }
    return legal;
}

}  // namespace

std::uint64_t perft(Board& board, int depth) {
    if (depth <= 0) return 1;
    if (depth == 1) return countLegalMoves(board);
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    const LegalityTest test(board);
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        if (!test.isLegal(board, list[i])) continue;
        board.makeMove(list[i]);
        leaves += perft(board, depth - 1);
        board.unmakeMove(list[i]);
    }
    return leaves;
}

std::string perftDivide(Board& board, int depth) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    std::string text;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        // The text depends on the side to move, so take it before the move.
        const std::string moveText = moveToText(list[i], board);
        if (!makeMoveIfLegal(board, list[i])) continue;
        const std::uint64_t leaves = perft(board, depth - 1);
        board.unmakeMove(list[i]);
        total += leaves;
        text += moveText + ": " + std::to_string(leaves) + "\n";
    }
    text += "\nNodes searched: " + std::to_string(total) + "\n";
    return text;
}
