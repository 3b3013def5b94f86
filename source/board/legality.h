// Telling legal moves from pseudo-legal ones without making them: the
// checking men and the pinned men of the side to move are found once per
// position, after which most moves are settled by a few bit tests.
#pragma once

#include "board/board.h"

class LegalityTest {
public:
    explicit LegalityTest(const Board& board);

    bool inCheck() const { return checkers_ != 0; }

    // Whether the move is legal. Castling and en passant are settled the
    // usual way, by making the move and taking it back.
    bool isLegal(Board& board, Move move) const;

    // The same as makeMoveIfLegal(board, move), node count included, except
    // that a move that would leave the king attacked is not made and taken
    // back: it is only counted as the node that making it would have been.
    bool makeIfLegal(Board& board, Move move) const;

    // Castling and en passant are the moves settled by making them; every
    // other move by the bit tests of isLegalMove.
    static bool settledByMaking(Move move) {
        const std::uint32_t kind = moveKind(move);
        return kind == MOVE_EN_PASSANT || kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG;
    }

    // Whether a move other than castling and en passant is legal.
    bool isLegalMove(Move move) const {
        const Square from = moveFrom(move), to = moveTo(move);
        // The king may not step onto an attacked square; a man it takes
        // attacks nothing any more, and the square it leaves blocks nothing.
        if (from == king_) return !attackedBy(them_ & ~squareBit(to), to, board_.bitboards[BB_OCCUPIED] ^ squareBit(from));
        // Any other man must answer a check, and a pinned one may only move
        // along the line of its pin.
        if (!(evasions_ & squareBit(to))) return false;
        return !(pinned_ & squareBit(from)) || (lineThrough(king_, from) & squareBit(to));
    }

    // Neither in check nor with a pinned man: every move but a king's,
    // castling and en passant is legal.
    bool everyOrdinaryMoveLegal() const { return !checkers_ && !pinned_; }
    Square kingSquare() const { return king_; }

private:
    bool attackedBy(Bitboard men, Square square, Bitboard occupied) const {
        const Bitboard* bb = board_.bitboards;
        return (pawnAttacks[square][us_] & bb[PAWN] & men) || (knightAttacks[square] & bb[KNIGHT] & men) ||
               (kingAttacks[square] & bb[KING] & men) ||
               (bishopAttacks(occupied, square) & (bb[BISHOP] | bb[QUEEN]) & men) ||
               (rookAttacks(occupied, square) & (bb[ROOK] | bb[QUEEN]) & men);
    }

    // The whole line through two squares that share one.
    static Bitboard lineThrough(Square a, Square b) {
        const Bitboard bit = squareBit(b);
        if (rankMask[a] & bit) return rankMask[a];
        if (fileMask[a] & bit) return fileMask[a];
        if (diagonalMask[a] & bit) return diagonalMask[a];
        if (antiDiagonalMask[a] & bit) return antiDiagonalMask[a];
        return 0;
    }

    const Board& board_;
    Colour us_;
    Bitboard them_;
    Square king_;
    Bitboard checkers_ = 0;
    Bitboard evasions_ = ~Bitboard{0};  // where a man other than the king may go to answer a check
    Bitboard pinned_ = 0;
};
