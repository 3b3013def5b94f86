// What the search nodes share with the principal-variation walk.
#pragma once

#include "board/board.h"

// How many earlier positions of the reversible stretch (every second ply
// back, no capture, pawn move or setup in between) equal the current one;
// counting stops at maxCount.
int countRepetitions(const Board& board, int maxCount);
