// Attack tables: leapers by square, sliders by kindergarten lookup (the
// occupancy of one line turned into a 6-bit index by one multiplication).
// Built once by initAttackTables() at start, read-only afterwards.
#pragma once

#include "board/types.h"

#include <cstdint>

extern Bitboard diagonalMask[64];       // a1-h8 direction, the square included
extern Bitboard antiDiagonalMask[64];   // h1-a8 direction, the square included
extern Bitboard rankMask[64];
extern Bitboard fileMask[64];
extern Bitboard adjacentFilesMask[64];  // whole files left and right of the square's file
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];
extern Bitboard pawnPush[64][2];
extern Bitboard pawnDoublePush[64][2];
extern Bitboard pawnAttacks[64][2];
extern Bitboard rankAttacks[8][64];     // [file][inner occupancy], byte repeated in all 8 bytes
extern Bitboard fileAttacks[8][64];     // [rank][index as the file multiplication yields it], on the a-file
extern std::uint8_t manhattanDistance[64][64];
extern std::uint8_t kingDistance[64][64];

inline constexpr Bitboard promotionRank[2] = {0xFF00000000000000ULL, 0xFFULL};

// Builders, in the order the start-up code must call them (file attacks are
// derived from rank attacks).
void initLineMasks();
void initKnightAttacks();
void initKingAttacks();
void initPawnTables();
void initRankAttacks();
void initFileAttacks();
void initDistanceTables();

int reverse6(int index);

// Slider attacks of a square on a given occupancy; the first blocker in each
// direction is included, own pieces are not removed.
inline Bitboard lineAttacks(Bitboard occupancy, Bitboard lineMask, Square s) {
    const int index = int(((occupancy & lineMask) * 0x0202020202020202ULL) >> 58);
    return rankAttacks[fileOf(s)][index] & lineMask;
}
inline Bitboard fileLineAttacks(Bitboard occupancy, Square s) {
    const int f = fileOf(s);
    const int index = int((((occupancy >> f) & FILE_A_SET) * 0x0080402010080400ULL) >> 58);
    return fileAttacks[rankOf(s)][index] << f;
}
inline Bitboard bishopAttacks(Bitboard occupancy, Square s) {
    return lineAttacks(occupancy, diagonalMask[s], s) | lineAttacks(occupancy, antiDiagonalMask[s], s);
}
inline Bitboard rookAttacks(Bitboard occupancy, Square s) {
    return fileLineAttacks(occupancy, s) | lineAttacks(occupancy, rankMask[s], s);
}
inline Bitboard queenAttacks(Bitboard occupancy, Square s) {
    return bishopAttacks(occupancy, s) | rookAttacks(occupancy, s);
}

// The squares the pawns of the set, of the given colour, attack in one
// capture direction: toward the h-file, or toward the a-file. No two pawns
// share a target in one direction.
inline Bitboard pawnAttacksTowardH(Bitboard pawns, Colour colour) {
    return colour == WHITE ? (pawns & ~FILE_H_SET) << 9 : (pawns & ~FILE_H_SET) >> 7;
}
inline Bitboard pawnAttacksTowardA(Bitboard pawns, Colour colour) {
    return colour == WHITE ? (pawns & ~FILE_A_SET) << 7 : (pawns & ~FILE_A_SET) >> 9;
}
// Every square some pawn of the set attacks (the union of their pawnAttacks entries).
inline Bitboard pawnAttackSet(Bitboard pawns, Colour colour) {
    return pawnAttacksTowardH(pawns, colour) | pawnAttacksTowardA(pawns, colour);
}
