// Small routines the search nodes share: the principal-variation text, the
// checkmate test of quiescence and the tactical-move test of the reductions.
// (Castling-path safety lives with the board: castlingPathSafe in board.h.)
#pragma once

#include "board/board.h"
#include "search/params.h"

// Follows the exact entries of the transposition table from the current
// position, at most 64 moves, writing "m1 m2 ... " (each move followed by a
// space) into text, which must hold PV_TEXT_SIZE characters. The second move
// becomes the ponder move (NO_MOVE when there is none). The board is restored.
const char* principalVariationText(Board& board, char* text, Move& ponderMove);

// A capture of a king: generated only in a damaged position (the side not to
// move in check). The search scores it as a win and never makes it.
inline bool capturesKing(Move move) { return isCapture(move) && moveCaptured(move) == KING; }

// The side to move is in check and has no legal move.
bool isCheckmated(Board& board);

// Asked after the move was made: castling, captures and moves whose man now
// attacks a more valuable enemy man (a knight only rooks and up; any check
// by the moved man) must not be reduced.
bool isTacticalMove(Move move, const Board& board);
