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

    // Whether a move other than castling and en passant is legal.
    bool isLegalMove(Move move) const;

private:
    bool attackedBy(Bitboard men, Square square, Bitboard occupied) const;

    const Board& board_;
    Colour us_;
    Bitboard them_;
    Square king_;
    Bitboard checkers_ = 0;
    Bitboard evasions_ = ~Bitboard{0};  // where a man other than the king may go to answer a check
    Bitboard pinned_ = 0;
};
