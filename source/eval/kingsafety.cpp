// King safety: men attacking the squares about the enemy king, and the pawn
// shield in front of a castled king.
#include "eval/eval.h"

#include "board/attacks.h"
#include "eval/masks.h"
#include "eval/params.h"
#include "eval/tables.h"

#include <cstdio>
#include <cstdlib>

using namespace evalparams;

int getKingAttackScore(const Board& board, int phase) {
    const Bitboard* bb = board.bitboards;
    const Bitboard occupied = bb[BB_OCCUPIED];
    // The same x-ray blockers as mobility: sliders see through their own kind.
    const Bitboard bishopBlockers = occupied & ~(bb[BISHOP] | bb[QUEEN]);
    const Bitboard rookBlockers = occupied & ~(bb[ROOK] | bb[QUEEN]);
    const Bitboard queenBlockers = occupied & ~(bb[ROOK] | bb[BISHOP]);

    int distanceSum = 0;
    int attackScore = 0;
    for (int side = 0; side < 2; ++side) {
        const Colour us = Colour(side);
        const int u = side == WHITE ? 1 : -1;
        const int d = -u;  // distance costs the attacker
        const Square target = board.kingSquare(opponent(us));
        const Bitboard zone = kingZone[target];
        int attackers = 0, knightAttackers = 0, queenAttackers = 0, hits = 0, pawnFlag = 0;

        // Pawns: those on or beside the king's file should stand close to it;
        // every pawn hitting the zone adds its hits, and pawns together count
        // as one attacker.
        for (Bitboard set = board.pieces(us, PAWN); set;) {
            const Square square = popLowest(set);
            if (std::abs(fileOfSquare[square] - fileOfSquare[target]) <= 1)
                distanceSum += d * manhattanDistance[square][target];
            const Bitboard hit = pawnAttacks[square][us] & zone;
            if (hit) {
                pawnFlag = 1;
                hits += popCount(hit);
            }
        }

        // Pieces: each pays its distance to the king and, when it hits the
        // zone, counts as an attacker with its hits.
        auto hitsZone = [&](Square square, Bitboard attacks) {
            distanceSum += d * manhattanDistance[square][target];
            const Bitboard hit = attacks & zone;
            if (!hit) return false;
            ++attackers;
            hits += popCount(hit);
            return true;
        };
        for (Bitboard set = board.pieces(us, KNIGHT); set;) {
            const Square square = popLowest(set);
            if (hitsZone(square, knightAttacks[square])) ++knightAttackers;
        }
        for (Bitboard set = board.pieces(us, BISHOP); set;) {
            const Square square = popLowest(set);
            hitsZone(square, bishopAttacks(bishopBlockers, square));
        }
        for (Bitboard set = board.pieces(us, ROOK); set;) {
            const Square square = popLowest(set);
            hitsZone(square, rookAttacks(rookBlockers, square));
        }
        for (Bitboard set = board.pieces(us, QUEEN); set;) {
            const Square square = popLowest(set);
            if (hitsZone(square, queenAttacks(queenBlockers, square))) ++queenAttackers;
        }

        // Knights weigh double and queens triple in the attacker count.
        const int weight = attackers + KNIGHT_ATTACKER_EXTRA * knightAttackers +
                           QUEEN_ATTACKER_EXTRA * queenAttackers + pawnFlag;
        attackScore += u * weight * hits;
    }
    // Closeness matters with pieces on the board; the attack units always.
    return (distanceSum * phase) / PHASE_MAX + attackScore;
}

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
