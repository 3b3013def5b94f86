// Bit masks of the evaluation, built once at start by initEvalMasks() and
// read-only afterwards. They depend on nothing else that start-up builds.
#pragma once

#include "board/types.h"

#include <cstdint>

// The 5 x 5 box around a square (cut at the board's edges), the square included.
extern Bitboard kingZone[64];
// [side][square]: the squares ahead of a pawn on its own and the neighbouring files.
extern Bitboard frontSpan[2][64];

// Backward-pawn tests, three per side, [test][side][square]. A pawn is backward
// when for some test its own-support mask holds no own pawn and its
// enemy-control mask holds an enemy pawn. Only pawns on their second rank
// (tests 0 and 1) or third rank (test 2) have non-empty masks.
inline constexpr int BACKWARD_TESTS = 3;
extern Bitboard backwardOwnMask[BACKWARD_TESTS][2][64];
extern Bitboard backwardEnemyMask[BACKWARD_TESTS][2][64];

// [side][file]: the square a pawn of that side promotes on.
extern std::uint8_t promotionSquare[2][8];

void initEvalMasks();
