// Piece activity: mobility and the attack on the enemy king. Both terms look
// at the same attack set of every piece (sliders seeing through the pieces
// that move like them), so one pass computes each set once and feeds both.
#include "eval/eval.h"

#include "board/attacks.h"
#include "eval/masks.h"
#include "eval/params.h"

using namespace evalparams;

namespace {

constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard FILE_H = FILE_A << 7;

// One side's contribution, before the phase is applied.
struct SideActivity {
    int mobilityMg = 0, mobilityEg = 0;
    int distanceSum = 0;  // Manhattan distances of the men near the enemy king, negated
    int attackUnits = 0;
};

template <Colour Us>
SideActivity sideActivity(const Board& board, Bitboard bishopBlockers, Bitboard rookBlockers, Bitboard queenBlockers) {
    constexpr Colour Them = Us == WHITE ? BLACK : WHITE;
    const Bitboard own = board.colourSet(Us);
    const Square target = board.kingSquare(Them);
    const Bitboard zone = kingZone[target];
    SideActivity side;
    int attackers = 0, knightAttackers = 0, queenAttackers = 0, hits = 0;

    // Pawns only attack the king. Every pawn on or beside the king's file
    // pays its distance; the two capture directions are counted as sets,
    // which gives the same hits as pawn after pawn (no two pawns share a
    // target in one direction).
    for (Bitboard near = board.pieces(Us, PAWN) & (fileMask[target] | adjacentFilesMask[target]); near;)
        side.distanceSum -= manhattanDistance[popLowest(near)][target];
    const Bitboard pawns = board.pieces(Us, PAWN);
    const Bitboard towardH = Us == WHITE ? (pawns & ~FILE_H) << 9 : (pawns & ~FILE_H) >> 7;
    const Bitboard towardA = Us == WHITE ? (pawns & ~FILE_A) << 7 : (pawns & ~FILE_A) >> 9;
    const int pawnHits = popCount(towardH & zone) + popCount(towardA & zone);
    hits += pawnHits;
    const int pawnFlag = pawnHits != 0;

    // A piece that cannot move at all pays a fixed penalty instead of
    // earning per square.
    auto mobility = [&](int n, int perSquareMg, int perSquareEg, int trapped) {
        if (n) {
            side.mobilityMg += perSquareMg * n;
            side.mobilityEg += perSquareEg * n;
        } else {
            side.mobilityMg += trapped;
            side.mobilityEg += trapped;
        }
    };
    // Each piece pays its distance to the king and, when it hits the zone,
    // counts as an attacker with its hits.
    auto attack = [&](Square square, Bitboard attacks) {
        side.distanceSum -= manhattanDistance[square][target];
        const Bitboard hit = attacks & zone;
        if (!hit) return false;
        ++attackers;
        hits += popCount(hit);
        return true;
    };

    for (Bitboard set = board.pieces(Us, KNIGHT); set;) {
        const Square square = popLowest(set);
        const Bitboard attacks = knightAttacks[square];
        mobility(popCount(attacks & ~own), KNIGHT_MOB_MG, KNIGHT_MOB_EG, KNIGHT_TRAPPED);
        if (attack(square, attacks)) ++knightAttackers;
    }
    for (Bitboard set = board.pieces(Us, BISHOP); set;) {
        const Square square = popLowest(set);
        const Bitboard attacks = bishopAttacks(bishopBlockers, square);
        const int n = popCount(attacks & ~own);
        mobility(n, BISHOP_MOB_MG, BISHOP_MOB_EG, BISHOP_TRAPPED);
        if (n) {
            // Its reach through the pawn chains alone, empty squares and pawns alike.
            const int p = popCount(bishopAttacks(board.bitboards[PAWN], square));
            side.mobilityMg += BISHOP_PAWN_MOB_MG * p;
            side.mobilityEg += BISHOP_PAWN_MOB_EG * p;
        }
        attack(square, attacks);
    }
    for (Bitboard set = board.pieces(Us, ROOK); set;) {
        const Square square = popLowest(set);
        const Bitboard attacks = rookAttacks(rookBlockers, square);
        mobility(popCount(attacks & ~own), ROOK_MOB_MG, ROOK_MOB_EG, ROOK_TRAPPED);
        attack(square, attacks);
    }
    for (Bitboard set = board.pieces(Us, QUEEN); set;) {
        const Square square = popLowest(set);
        const Bitboard attacks = queenAttacks(queenBlockers, square);
        mobility(popCount(attacks & ~own), QUEEN_MOB_MG, QUEEN_MOB_EG, QUEEN_TRAPPED);
        if (attack(square, attacks)) ++queenAttackers;
    }

    // Knights weigh double and queens triple in the attacker count; pawns
    // together count as one attacker.
    const int weight =
        attackers + KNIGHT_ATTACKER_EXTRA * knightAttackers + QUEEN_ATTACKER_EXTRA * queenAttackers + pawnFlag;
    side.attackUnits = weight * hits;
    return side;
}

}  // namespace

PieceActivity getPieceActivity(const Board& board, int phase) {
    const Bitboard* bb = board.bitboards;
    const Bitboard occupied = bb[BB_OCCUPIED];
    // Sliders look through friendly and enemy pieces that move like them.
    const Bitboard bishopBlockers = occupied & ~(bb[BISHOP] | bb[QUEEN]);
    const Bitboard rookBlockers = occupied & ~(bb[ROOK] | bb[QUEEN]);
    const Bitboard queenBlockers = occupied & ~(bb[ROOK] | bb[BISHOP]);

    const SideActivity white = sideActivity<WHITE>(board, bishopBlockers, rookBlockers, queenBlockers);
    const SideActivity black = sideActivity<BLACK>(board, bishopBlockers, rookBlockers, queenBlockers);

    PieceActivity result;
    result.mobility =
        blend(white.mobilityMg - black.mobilityMg, white.mobilityEg - black.mobilityEg, phase);
    // Black's men near White's king cost Black: their distances count for White.
    const int distanceSum = white.distanceSum - black.distanceSum;
    // Closeness matters with pieces on the board; the attack units always.
    result.kingAttack = (distanceSum * phase) / PHASE_MAX + white.attackUnits - black.attackUnits;
    return result;
}

int getMobilityScore(const Board& board, int phase) { return getPieceActivity(board, phase).mobility; }

int getKingAttackScore(const Board& board, int phase) { return getPieceActivity(board, phase).kingAttack; }
