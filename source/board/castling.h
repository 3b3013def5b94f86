// Castling as one description per game: for each of the four rights the king
// and the rook it moves, where both end, the squares that must be empty and
// the squares the king walks, and for every square the rights a move from or
// to it ends. Standard chess and Chess960 differ only in the squares.
#pragma once

#include "board/types.h"

#include <cstdint>

// One right. The king ends on the g- or c-file, the rook beside it on the f-
// or d-file, from whatever files they start.
struct CastlingRight {
    Square kingFrom, kingTo, rookFrom, rookTo;
    // Every square either man passes or lands on, their own start squares aside.
    Bitboard mustBeEmpty;
    // The king's start, the squares it crosses and its destination: none may be attacked.
    Bitboard kingWalk;
    // What castling flips in the king's set, the rook's set and the sets of
    // the colour and the occupancy: the squares before exclusive-or the squares
    // after, so a man that does not move flips nothing.
    Bitboard kingFlip, rookFlip, menFlip;

    bool operator==(const CastlingRight&) const = default;
};

struct CastlingRules {
    CastlingRight rights[4];      // indexed by castleIndex, in the order of the CASTLE_* bits
    std::uint8_t rightsKept[64];  // the rights that survive a move from or to the square
    // Castling is written as the king taking its own rook ("e1h1"), the form
    // Chess960 GUIs use, instead of by the king's two steps ("e1g1").
    bool chess960;

    bool operator==(const CastlingRules&) const = default;
};

// The squares of one rank from a to b, both included.
constexpr Bitboard rankSpan(Square a, Square b) {
    const Square low = a < b ? a : b, high = a < b ? b : a;
    return (squareBit(high) << 1) - squareBit(low);  // wraps to every square from low up when high is h8
}

// The rules of kings on the given squares (white, black) castling with the
// rooks on the given squares (one per right, in castleIndex order). A rook on
// the king's rank right of it castles short, left of it long. Rights a
// position lacks still need squares; any will do, since a lost right never
// returns.
constexpr CastlingRules castlingRules(const Square (&kings)[2], const Square (&rooks)[4], bool chess960) {
    CastlingRules rules{};
    for (std::uint8_t& kept : rules.rightsKept)
        kept = CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG | CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG;
    for (int index = 0; index < 4; ++index) {
        const Square kingFrom = kings[index / 2], rookFrom = rooks[index];
        const Square rank = kingFrom & 56;
        const bool isLong = index % 2 == 1;
        CastlingRight& right = rules.rights[index];
        right.kingFrom = kingFrom;
        right.kingTo = rank + (isLong ? 2 : 6);
        right.rookFrom = rookFrom;
        right.rookTo = rank + (isLong ? 3 : 5);
        right.kingWalk = rankSpan(kingFrom, right.kingTo);
        right.mustBeEmpty =
            (right.kingWalk | rankSpan(rookFrom, right.rookTo)) & ~squareBit(kingFrom) & ~squareBit(rookFrom);
        right.kingFlip = squareBit(kingFrom) ^ squareBit(right.kingTo);
        right.rookFlip = squareBit(rookFrom) ^ squareBit(right.rookTo);
        right.menFlip =
            (squareBit(kingFrom) | squareBit(rookFrom)) ^ (squareBit(right.kingTo) | squareBit(right.rookTo));
        rules.rightsKept[kingFrom] &= std::uint8_t(~(1u << index));
        rules.rightsKept[rookFrom] &= std::uint8_t(~(1u << index));
    }
    rules.chess960 = chess960;
    return rules;
}

// Kings on e1 and e8, rooks in the corners.
inline constexpr Square STANDARD_KINGS[2] = {4, 60};
inline constexpr Square STANDARD_ROOKS[4] = {7, 0, 63, 56};
inline constexpr CastlingRules standardCastling = castlingRules(STANDARD_KINGS, STANDARD_ROOKS, false);

static_assert(standardCastling.rights[0].mustBeEmpty == 0x60 && standardCastling.rights[1].mustBeEmpty == 0x0E);
static_assert(standardCastling.rights[3].kingWalk == 0x1C00000000000000ULL);
static_assert(standardCastling.rightsKept[4] == (CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG));
