// Pseudo-legal move generation. The order of the produced moves is fixed:
// move texts from the GUI resolve to the first match, and the search's move
// ordering starts from the list as produced. The mover's king may be left
// in check and castling is not tested for attacked squares; callers do that.
#include "board/board.h"

namespace {

// Appends one move per target square, lowest square first.
inline void addQuiet(Move* list, int& count, Square from, Bitboard targets) {
    while (targets) list[count++] = ::makeMove(MOVE_QUIET, from, popLowest(targets));
}

inline void addCaptures(const Board& board, Move* list, int& count, std::uint32_t kind, Square from, Bitboard targets) {
    while (targets) {
        const Square to = popLowest(targets);
        list[count++] = ::makeMove(kind, from, to, board.squareKind[to]);
    }
}

// Promotions: knight, bishop, rook, queen for each target in turn.
inline void addPromotions(const Board& board, Move* list, int& count, std::uint32_t firstKind, Square from,
                          Bitboard targets) {
    const bool capture = (firstKind & MOVE_CAPTURE) != 0;
    while (targets) {
        const Square to = popLowest(targets);
        const std::uint32_t captured = capture ? board.squareKind[to] : 0;
        for (std::uint32_t kind = firstKind; kind < firstKind + 4; ++kind)
            list[count++] = ::makeMove(kind, from, to, captured);
    }
}

}  // namespace

void Board::generateMoves(Move* list, int& count) const {
    count = 0;
    const Colour us = sideToMove;
    const Bitboard own = bitboards[BB_WHITE + us];
    const Bitboard enemy = bitboards[BB_WHITE + opponent(us)];
    const Bitboard empty = bitboards[BB_EMPTY];
    const Bitboard occupied = bitboards[BB_OCCUPIED];
    const Bitboard enemyKing = bitboards[KING] & enemy;
    const Bitboard lastRank = promotionRank[us];
    const std::uint8_t ep = history[ply].epSquare;
    // A double push needs the square it jumps over empty too: shift the
    // empty set one rank forward so it lines up with the destination.
    const Bitboard behind = us == WHITE ? empty << 8 : empty >> 8;

    // Pawns: every kind of pawn move for one pawn before the next pawn.
    Bitboard pawns = bitboards[PAWN] & own;
    while (pawns) {
        const Square from = popLowest(pawns);
        addQuiet(list, count, from, pawnPush[from][us] & ~lastRank & empty);
        Bitboard doubles = pawnDoublePush[from][us] & empty & behind;
        while (doubles) list[count++] = ::makeMove(MOVE_DOUBLE_PUSH, from, popLowest(doubles));
        addCaptures(*this, list, count, MOVE_CAPTURE, from, pawnAttacks[from][us] & ~lastRank & enemy);
        if (ep != NO_SQUARE && (pawnAttacks[from][us] & squareBit(ep)))
            list[count++] = ::makeMove(MOVE_EN_PASSANT, from, ep);
        addPromotions(*this, list, count, MOVE_PROMO_KNIGHT, from, pawnPush[from][us] & lastRank & empty);
        // Taking the king by promotion is never generated; the plain
        // captures above do not exclude it.
        addPromotions(*this, list, count, MOVE_PROMO_CAPTURE_KNIGHT, from,
                      pawnAttacks[from][us] & lastRank & enemy & ~enemyKing);
    }

    Bitboard knights = bitboards[KNIGHT] & own;
    while (knights) {
        const Square from = popLowest(knights);
        addQuiet(list, count, from, knightAttacks[from] & empty);
        addCaptures(*this, list, count, MOVE_CAPTURE, from, knightAttacks[from] & enemy);
    }

    Bitboard kings = bitboards[KING] & own;
    while (kings) {
        const Square from = popLowest(kings);
        addQuiet(list, count, from, kingAttacks[from] & empty);
        addCaptures(*this, list, count, MOVE_CAPTURE, from, kingAttacks[from] & enemy);
    }

    // Castling: rights and empty path only; the pieces' presence was settled
    // when the position was set up, attacks are the caller's business.
    const std::uint8_t rights = history[ply].ooStatus;
    const std::uint8_t shortRight = us == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT;
    const CastlingRight* ours = castling.rights + 2 * us;
    if ((rights & shortRight) && !(occupied & ours[0].mustBeEmpty)) list[count++] = MOVE_CASTLE_SHORT;
    if ((rights & (shortRight << 1)) && !(occupied & ours[1].mustBeEmpty)) list[count++] = MOVE_CASTLE_LONG;

    for (int kind = BISHOP; kind <= QUEEN; ++kind) {
        Bitboard pieces = bitboards[kind] & own;
        while (pieces) {
            const Square from = popLowest(pieces);
            const Bitboard attacks = attacksFrom(from, us, PieceKind(kind));
            addQuiet(list, count, from, attacks & empty);
            addCaptures(*this, list, count, MOVE_CAPTURE, from, attacks & enemy);
        }
    }
}

void Board::generateCaptures(Move* list, int& count) const {
    count = 0;
    const Colour us = sideToMove;
    const Bitboard own = bitboards[BB_WHITE + us];
    const Bitboard enemy = bitboards[BB_WHITE + opponent(us)];
    const Bitboard empty = bitboards[BB_EMPTY];
    const Bitboard enemyKing = bitboards[KING] & enemy;
    const Bitboard lastRank = promotionRank[us];
    const std::uint8_t ep = history[ply].epSquare;

    // Pawns: captures, en passant, then queen promotions only. Only pawns
    // that have one of them are visited (a pawn of ours attacks a square
    // exactly when an enemy pawn there would attack the pawn's square).
    const Bitboard targets = enemy | (ep != NO_SQUARE ? squareBit(ep) : 0);
    const Bitboard beforeLastRank = us == WHITE ? (lastRank & empty) >> 8 : (lastRank & empty) << 8;
    Bitboard pawns = bitboards[PAWN] & own & (pawnAttackSet(targets, opponent(us)) | beforeLastRank);
    while (pawns) {
        const Square from = popLowest(pawns);
        addCaptures(*this, list, count, MOVE_CAPTURE, from, pawnAttacks[from][us] & ~lastRank & enemy);
        if (ep != NO_SQUARE && (pawnAttacks[from][us] & squareBit(ep)))
            list[count++] = ::makeMove(MOVE_EN_PASSANT, from, ep);
        Bitboard pushes = pawnPush[from][us] & lastRank & empty;
        while (pushes) list[count++] = ::makeMove(MOVE_PROMO_QUEEN, from, popLowest(pushes));
        addCaptures(*this, list, count, MOVE_PROMO_CAPTURE_QUEEN, from,
                    pawnAttacks[from][us] & lastRank & enemy & ~enemyKing);
    }

    Bitboard knights = bitboards[KNIGHT] & own;
    while (knights) {
        const Square from = popLowest(knights);
        addCaptures(*this, list, count, MOVE_CAPTURE, from, knightAttacks[from] & enemy);
    }

    Bitboard kings = bitboards[KING] & own;
    while (kings) {
        const Square from = popLowest(kings);
        addCaptures(*this, list, count, MOVE_CAPTURE, from, kingAttacks[from] & enemy);
    }

    for (int kind = BISHOP; kind <= QUEEN; ++kind) {
        Bitboard pieces = bitboards[kind] & own;
        while (pieces) {
            const Square from = popLowest(pieces);
            addCaptures(*this, list, count, MOVE_CAPTURE, from, attacksFrom(from, us, PieceKind(kind)) & enemy);
        }
    }
}
