// Small routines the search nodes share: the principal-variation text, the
// checkmate test of quiescence and the tactical-move test of the reductions.
// (Castling-path safety lives with the board: castlingPathSafe in board.h.)
#pragma once

#include "board/board.h"
#include "search/params.h"

// The line the root reports for its best move, and the move to ponder on.
struct PrincipalVariation {
    Move moves[search_params::PV_MAX_MOVES];
    int length = 0;
    Move ponder = NO_MOVE;
};

// The line from the current position: the best move, then the moves of the
// table's exact entries, each tested for legality before it is made (an
// entry can belong to another position through a key collision). The line
// ends after the first move that reaches a position already met, in the game
// or earlier in the line, and after at most PV_MAX_MOVES moves. The ponder
// move is the table's move after the best move when it is legal there, even
// if the line itself ends at the best move. Board and node count are left as
// they were.
void principalVariation(Board& board, Move bestMove, PrincipalVariation& pv);

// Makes and takes back the moves of the table's exact entries from the
// current position, at most PV_MAX_MOVES, as the root has always done after
// storing a new best move: they count as nodes, so node counts and the bench
// signature stay comparable from build to build. Moves that are not legal
// where they are met (key collisions) end the walk.
void walkTableLine(Board& board);

// A capture of a king: generated only in a damaged position (the side not to
// move in check). The search scores it as a win and never makes it.
inline bool capturesKing(Move move) { return isCapture(move) && moveCaptured(move) == KING; }

// The side to move is in check and has no legal move.
bool isCheckmated(Board& board);

// Asked after the move was made: castling, captures and moves whose man now
// attacks a more valuable enemy man (a knight only rooks and up; any check
// by the moved man) must not be reduced.
bool isTacticalMove(Move move, const Board& board);
