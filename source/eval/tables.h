// Constant tables of the evaluation: piece-square tables for both programs,
// count-indexed adjustments, and the pawn-shield square sets. All fixed at
// compile time; nothing writes them.
#pragma once

#include "board/types.h"

#include <array>

// Indexed by square (a1 = 0 .. h8 = 63), always from White's side: Black's
// men are looked up at their mirrored square.
using SquareTable = std::array<int, 64>;

// q xor 56 (same file, mirrored rank). Also read by the move ordering.
extern const SquareTable mirrorSquare;
// q & 7.
extern const SquareTable fileOfSquare;

// Shared by both programs.
extern const SquareTable knightTableMg;
extern const SquareTable knightTableEg;
extern const SquareTable bishopTable;   // middlegame and endgame alike

// ostrel64 king, pawn (not passed) and passed-pawn tables.
extern const SquareTable kingTableMg;
extern const SquareTable kingTableEg;
extern const SquareTable pawnTableMg;
extern const SquareTable pawnTableEg;
extern const SquareTable passedTableMg;
extern const SquareTable passedTableEg;

// The same tables for the revised pawn term of ostrel32.
extern const SquareTable kingTableMgRevised;
extern const SquareTable kingTableEgRevised;
extern const SquareTable pawnTableMgRevised;
extern const SquareTable pawnTableEgRevised;   // zero everywhere
extern const SquareTable passedTableMgRevised;
extern const SquareTable passedTableEgRevised;

// The tables one program's pawn term reads, picked once per call.
struct PawnTermTables {
    const SquareTable* kingMg;
    const SquareTable* kingEg;
    const SquareTable* pawnMg;
    const SquareTable* pawnEg;
    const SquareTable* passedMg;
    const SquareTable* passedEg;
};
extern const PawnTermTables standardPawnTermTables;
extern const PawnTermTables revisedPawnTermTables;

// Material adjustment per rook and per knight by the number of own pawns (0..8).
inline constexpr int MAX_PAWNS = 8;
extern const std::array<int, MAX_PAWNS + 1> rookPawnAdjust;
extern const std::array<int, MAX_PAWNS + 1> knightPawnAdjust;

// Race of unstoppable passers, by the difference of race counts (1..7;
// entry 0 is a marker that is never read).
extern const std::array<int, 8> raceBonus;
// King and pawn against king: base win score by the pawn's rank (1..7 for
// ranks 2..8; entry 0 is a marker that is never read for a legal position).
extern const std::array<int, 8> kpkBase;

// Files b, d, f, h and files a, c, e, g (files, not square colours).
extern const std::array<Bitboard, 2> parityMasks;

// Pawn-shield sets, indexed by wing: White short 0, White long 1, Black short
// 2, Black long 3.
enum ShieldWing { WHITE_SHORT = 0, WHITE_LONG = 1, BLACK_SHORT = 2, BLACK_LONG = 3 };
using WingSets = std::array<Bitboard, 4>;
extern const WingSets castledArea;
extern const WingSets shieldD;
extern const WingSets shieldF;
extern const WingSets shieldE;
extern const WingSets shieldC;
extern const WingSets shieldB;
extern const WingSets shieldA;
extern const WingSets shieldG;
extern const WingSets shieldI;
extern const WingSets shieldMinorSquares;
extern const WingSets shieldABishopSquares;
extern const WingSets shieldGBishopSquare;
