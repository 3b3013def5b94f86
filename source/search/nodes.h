// The search's own routines below the driver-facing interface: the interior
// node, quiescence and the helpers the root shares with them.
#pragma once

#include "board/board.h"
#include "search/search.h"

// Fail-hard negamax node. zeroWindow 1 allows table cutoffs and the null move;
// 0 marks a full-window (principal-variation) node that takes neither.
int alphaBeta(Board& board, int depth, int ply, int alpha, int beta, bool nullMoveDone, int zeroWindow);

// Captures (not in check) or every move (in check) until the position is quiet.
int quiesce(Board& board, int depth, int ply, int alpha, int beta);

// The host set by the driver (a silent one that never stops when none is set).
SearchHost& searchHost();

// The evaluation from the side to move's point of view.
int sideToMoveEvaluation(const Board& board);

// How many earlier positions of the reversible stretch (every second ply
// back, no capture, pawn move or setup in between) equal the current one;
// counting stops at maxCount.
int countRepetitions(const Board& board, int maxCount);
