#include "board/legality.h"

LegalityTest::LegalityTest(const Board& board)
    : board_(board), us_(board.sideToMove), them_(board.colourSet(opponent(board.sideToMove))),
      king_(board.kingSquare(board.sideToMove)) {
    const Bitboard* bb = board.bitboards;
    const Bitboard occupied = bb[BB_OCCUPIED], own = board.colourSet(us_);
    const Bitboard straightSliders = (bb[ROOK] | bb[QUEEN]) & them_;
    const Bitboard diagonalSliders = (bb[BISHOP] | bb[QUEEN]) & them_;
    const Bitboard straight = rookAttacks(occupied, king_);
    const Bitboard diagonal = bishopAttacks(occupied, king_);

    const Bitboard leapers = (pawnAttacks[king_][us_] & bb[PAWN]) | (knightAttacks[king_] & bb[KNIGHT]) |
                             (kingAttacks[king_] & bb[KING]);
    checkers_ = (leapers & them_) | (straight & straightSliders) | (diagonal & diagonalSliders);
    if (checkers_) {
        // One checker can be taken, or a slider blocked on the squares
        // between; against two only the king can move.
        const Square checker = lowestSquare(checkers_);
        evasions_ = 0;
        if (!(checkers_ & (checkers_ - 1))) {
            evasions_ = checkers_;
            if (checkers_ & (straightSliders | diagonalSliders)) {
                const Bitboard line = lineThrough(king_, checker);
                const bool straightLine = line == rankMask[king_] || line == fileMask[king_];
                const Bitboard fromChecker = straightLine ? rookAttacks(occupied, checker) : bishopAttacks(occupied, checker);
                evasions_ |= fromChecker & (straightLine ? straight : diagonal) & line;
            }
        }
    }

    // A pinned man is the only one between the king and an enemy slider on
    // its line: looking past the king's own first blockers finds the pinners.
    for (Bitboard pinners = rookAttacks(occupied & ~(straight & own), king_) & ~straight & straightSliders; pinners;)
        pinned_ |= rookAttacks(occupied, popLowest(pinners)) & straight & own;
    for (Bitboard pinners = bishopAttacks(occupied & ~(diagonal & own), king_) & ~diagonal & diagonalSliders; pinners;)
        pinned_ |= bishopAttacks(occupied, popLowest(pinners)) & diagonal & own;
}

bool LegalityTest::isLegal(Board& board, Move move) const {
    if (settledByMaking(move)) {
        if (!makeMoveIfLegal(board, move)) return false;
        board.unmakeMove(move);
        return true;
    }
    return isLegalMove(move);
}

bool LegalityTest::makeIfLegal(Board& board, Move move) const {
    if (settledByMaking(move)) return makeMoveIfLegal(board, move);
    if (!isLegalMove(move)) {
        ++board.nodeCount;
        return false;
    }
    board.makeMove(move);
    return true;
}
