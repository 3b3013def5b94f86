// King safety: the pawn shield in front of a castled king. (The attack on
// the king is computed with mobility, in activity.cpp.)
#include "eval/eval.h"

#include "eval/params.h"
#include "eval/tables.h"

#include <cstdio>

using namespace evalparams;

namespace {

const char* const sideName[2] = {"WHITE", "BLACK"};

struct ShieldPattern {
    const WingSets* pawns;
    const char* name;
    int value;
    int bonusValue;
    // Which extra condition raises the value: a minor piece on the
    // minor-piece squares, or a bishop on the pattern's own bishop squares.
    const WingSets* bonusSquares;
    bool bishopsOnly;
};

// Tested in this order; the first whose squares all hold own pawns counts.
const ShieldPattern shieldPatterns[] = {
    {&shieldD, "D", SHIELD_D, SHIELD_D_MINOR, &shieldMinorSquares, false},
    {&shieldF, "F", SHIELD_F, SHIELD_F_MINOR, &shieldMinorSquares, false},
    {&shieldE, "E", SHIELD_E, SHIELD_E_MINOR, &shieldMinorSquares, false},
    {&shieldC, "C", SHIELD_C, SHIELD_C_MINOR, &shieldMinorSquares, false},
    {&shieldB, "B", SHIELD_B, SHIELD_B_MINOR, &shieldMinorSquares, false},
    {&shieldA, "A", SHIELD_A, SHIELD_A_BISHOP, &shieldABishopSquares, true},
    {&shieldG, "G", SHIELD_G, SHIELD_G_BISHOP, &shieldGBishopSquare, true},
    {&shieldI, "I", SHIELD_I, SHIELD_I_MINOR, &shieldMinorSquares, false},
};

// One side's shield value, 0 when its king is not in a castled corner.
int shieldValue(const Board& board, Colour side, bool debug) {
    // Step 1: the wing, judged by the king's square alone.
    const Bitboard king = board.pieces(side, KING);
    const int shortWing = side == WHITE ? WHITE_SHORT : BLACK_SHORT;
    const int longWing = side == WHITE ? WHITE_LONG : BLACK_LONG;
    int wing;
    if (castledArea[shortWing] & king) {
        wing = shortWing;
        if (debug) std::printf("%s is shortcastled\n", sideName[side]);
    } else if (castledArea[longWing] & king) {
        wing = longWing;
        if (debug) std::printf("%s is longcastled\n", sideName[side]);
    } else {
        if (debug) std::printf("%s is not castled\n", sideName[side]);
        return 0;
    }

    // Step 2: the first pattern fully present decides.
    const Bitboard pawns = board.pieces(side, PAWN);
    const Bitboard bishops = board.pieces(side, BISHOP);
    const Bitboard minors = bishops | board.pieces(side, KNIGHT);
    for (const ShieldPattern& pattern : shieldPatterns) {
        const Bitboard needed = (*pattern.pawns)[wing];
        if ((pawns & needed) != needed) continue;
        if (debug) std::printf("%s!!\n", pattern.name);
        const Bitboard helpers = pattern.bishopsOnly ? bishops : minors;
        return (helpers & (*pattern.bonusSquares)[wing]) ? pattern.bonusValue : pattern.value;
    }
    if (debug) std::printf("NO PAWNSHIELD PATTERN HAS BEEN FOUND FOR %s\n", sideName[side]);
    return 0;
}

}  // namespace

int getPawnShieldScore(const Board& board, int phase, bool debug) {
    const int white = shieldValue(board, WHITE, debug);
    const int black = shieldValue(board, BLACK, debug);
    if (debug) {
        std::printf("pawnshield val(w/b) = %d / %d \n", (white * phase) / PHASE_MAX, (black * phase) / PHASE_MAX);
        std::fflush(stdout);
    }
    return ((white - black) * phase) / PHASE_MAX;
}

void printPawnShieldAnalysis(const Board& board) { getPawnShieldScore(board, PHASE_MAX, true); }
