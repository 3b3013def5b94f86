// Attack tables and attack detection. Leapers are looked up per square;
// sliders use kindergarten tables, where the occupancy of one line is folded
// into a 6-bit index by a single multiplication.
#include "board/attacks.h"
#include "board/board.h"

#include <cstdlib>

Bitboard diagonalMask[64];
Bitboard antiDiagonalMask[64];
Bitboard rankMask[64];
Bitboard fileMask[64];
Bitboard adjacentFilesMask[64];
Bitboard knightAttacks[64];
Bitboard kingAttacks[64];
Bitboard pawnPush[64][2];
Bitboard pawnDoublePush[64][2];
Bitboard pawnAttacks[64][2];
Bitboard rankAttacks[8][64];
Bitboard fileAttacks[8][64];
std::uint8_t manhattanDistance[64][64];
std::uint8_t kingDistance[64][64];

namespace {

// The h-file without h8: h8 leaves the board by the shift itself.
constexpr Bitboard FILE_H_BELOW_8 = 0x0080808080808080ULL;
constexpr Bitboard NOT_FILE_H = ~FILE_H_SET;

Bitboard stepEast(Bitboard b) { return (b & ~FILE_H_BELOW_8) << 1; }
Bitboard stepWest(Bitboard b) { return (b >> 1) & NOT_FILE_H; }

// Repeated single steps, so that a multi-square jump never wraps round an edge.
Bitboard shiftBy(Bitboard b, int df, int dr) {
    for (; df > 0; --df) b = stepEast(b);
    for (; df < 0; ++df) b = stepWest(b);
    for (; dr > 0; --dr) b <<= 8;
    for (; dr < 0; ++dr) b >>= 8;
    return b;
}

}  // namespace

int reverse6(int index) {
    int reversed = 0;
    for (int bit = 0; bit < 6; ++bit) {
        if (index & (1 << bit)) reversed |= 1 << (5 - bit);
    }
    return reversed;
}

void initLineMasks() {
    for (Square s = 0; s < 64; ++s) {
        const int f = fileOf(s);
        const int r = rankOf(s);
        Bitboard diagonal = 0x8040201008040201ULL;
        if (f > r) diagonal >>= 8 * (f - r);
        else if (r > f) diagonal <<= 8 * (r - f);
        diagonalMask[s] = diagonal;

        Bitboard anti = 0x0102040810204080ULL;
        if (r < 7 - f) anti >>= 8 * (7 - f - r);
        else anti <<= 8 * (f + r - 7);
        antiDiagonalMask[s] = anti;

        rankMask[s] = 0xFFULL << (8 * r);
        fileMask[s] = FILE_A_SET << f;
        adjacentFilesMask[s] = (f > 0 ? FILE_A_SET << (f - 1) : 0) | (f < 7 ? FILE_A_SET << (f + 1) : 0);
    }
}

void initKnightAttacks() {
    for (Square s = 0; s < 64; ++s) {
        Bitboard attacks = 0;
        for (int df = -2; df <= 2; ++df) {
            for (int dr = -2; dr <= 2; ++dr) {
                if (std::abs(df) + std::abs(dr) == 3) attacks |= shiftBy(squareBit(s), df, dr);
            }
        }
        knightAttacks[s] = attacks;
    }
}

void initKingAttacks() {
    for (Square s = 0; s < 64; ++s) {
        Bitboard attacks = 0;
        for (int df = -1; df <= 1; ++df) {
            for (int dr = -1; dr <= 1; ++dr) {
                if (df != 0 || dr != 0) attacks |= shiftBy(squareBit(s), df, dr);
            }
        }
        kingAttacks[s] = attacks;
    }
}

void initPawnTables() {
    for (Square s = 0; s < 64; ++s) {
        const Bitboard b = squareBit(s);
        pawnPush[s][WHITE] = b << 8;
        pawnPush[s][BLACK] = b >> 8;
        pawnDoublePush[s][WHITE] = (s >= 8 && s <= 15) ? b << 16 : 0;
        pawnDoublePush[s][BLACK] = (s >= 48 && s <= 55) ? b >> 16 : 0;
        // Captures are defined on every rank, also where no pawn can stand:
        // isAttacked reads them backwards from any square.
        const Bitboard e = b & ~FILE_H_BELOW_8;
        const Bitboard w = (b >> 1) & NOT_FILE_H;
        pawnAttacks[s][WHITE] = (e << 9) | (w << 8);
        pawnAttacks[s][BLACK] = ((e << 1) >> 8) | (w >> 8);
    }
}

void initRankAttacks() {
    for (int f = 0; f < 8; ++f) {
        for (int o = 0; o < 64; ++o) {
            // The index holds the six inner files b..g; the edge files never block
            // anything beyond themselves, so they need no bit.
            const int occupied = o << 1;
            int files = 0;
            for (int x = f + 1; x <= 7; ++x) {
                files |= 1 << x;
                if (occupied & (1 << x)) break;
            }
            for (int x = f - 1; x >= 0; --x) {
                files |= 1 << x;
                if (occupied & (1 << x)) break;
            }
            rankAttacks[f][o] = Bitboard(files) * FILE_A_SET;
        }
    }
}

void initFileAttacks() {
    // A file is a rank turned on its side: transpose the rank result onto the
    // a-file, and store it under the bit-reversed index that the file
    // multiplication produces.
    for (int o = 0; o < 64; ++o) {
        for (int r = 0; r < 8; ++r) {
            const Bitboard files = rankAttacks[r][o] & 0xFF;
            Bitboard column = 0;
            for (int k = 0; k < 8; ++k) {
                if (files & (Bitboard{1} << k)) column |= squareBit(8 * k);
            }
            fileAttacks[r][reverse6(o)] = column;
        }
    }
}

void initDistanceTables() {
    for (Square a = 0; a < 64; ++a) {
        for (Square b = 0; b < 64; ++b) {
            const int df = std::abs(fileOf(a) - fileOf(b));
            const int dr = std::abs(rankOf(a) - rankOf(b));
            manhattanDistance[a][b] = std::uint8_t(df + dr);
            kingDistance[a][b] = std::uint8_t(df > dr ? df : dr);
        }
    }
}

Bitboard Board::attacksFrom(Square square, Colour colour, PieceKind kind) const {
    switch (kind) {
    case PAWN: return pawnAttacks[square][colour];
    case KNIGHT: return knightAttacks[square];
    case BISHOP: return bishopAttacks(bitboards[BB_OCCUPIED], square);
    case ROOK: return rookAttacks(bitboards[BB_OCCUPIED], square);
    case QUEEN: return queenAttacks(bitboards[BB_OCCUPIED], square);
    case KING: return kingAttacks[square];
    default: return 0;
    }
}

bool Board::isAttacked(Colour colour, Square square) const {
    const Bitboard them = bitboards[BB_WHITE + opponent(colour)];
    const Bitboard occupied = bitboards[BB_OCCUPIED];
    // A pawn of our colour on the square would attack exactly the squares
    // from which enemy pawns attack it.
    if (pawnAttacks[square][colour] & bitboards[PAWN] & them) return true;
    if (knightAttacks[square] & bitboards[KNIGHT] & them) return true;
    if (kingAttacks[square] & bitboards[KING] & them) return true;
    // Sliders: the lookups are needed only when an enemy slider of the kind
    // stands somewhere on the square's lines.
    const Bitboard diagonal = (bitboards[BISHOP] | bitboards[QUEEN]) & them;
    if ((diagonalMask[square] | antiDiagonalMask[square]) & diagonal && bishopAttacks(occupied, square) & diagonal)
        return true;
    const Bitboard straight = (bitboards[ROOK] | bitboards[QUEEN]) & them;
    if ((rankMask[square] | fileMask[square]) & straight && rookAttacks(occupied, square) & straight) return true;
    return false;
}

// Kept out of line: inlined into the search's move loop, the walk over the
// king's squares cost every node 0.4% more instructions (callgrind, bench 6),
// for a test only castling moves need.
[[gnu::noinline]] bool castlingPathSafe(const Board& board, Move move, Colour colour) {
    for (Bitboard walk = board.castling.rights[castleIndex(move, colour)].kingWalk; walk;)
        if (board.isAttacked(colour, popLowest(walk))) return false;
    return true;
}
