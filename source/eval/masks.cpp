#include "eval/masks.h"

#include "eval/eval.h"

Bitboard kingZone[64];
Bitboard frontSpan[2][64];
Bitboard backwardOwnMask[BACKWARD_TESTS][2][64];
Bitboard backwardEnemyMask[BACKWARD_TESTS][2][64];
std::uint8_t promotionSquare[2][8];

namespace {

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// The square at (file, rank) as a set, empty when it lies off the board.
Bitboard squareAt(int file, int rank) { return onBoard(file, rank) ? squareBit(makeSquare(file, rank)) : 0; }

// The two squares beside a pawn's file, forward ranks ahead of it (negative:
// behind), for the side whose "ahead" is the given direction.
Bitboard besideAt(Square square, int forward, int direction) {
    const int rank = rankOf(square) + forward * direction;
    return squareAt(fileOf(square) - 1, rank) | squareAt(fileOf(square) + 1, rank);
}

}  // namespace

void initEvalMasks() {
    for (Square square = 0; square < 64; ++square) {
        const int file = fileOf(square);
        const int rank = rankOf(square);

        // King zone: every square within two files and two ranks.
        kingZone[square] = 0;
        for (int df = -2; df <= 2; ++df)
            for (int dr = -2; dr <= 2; ++dr) kingZone[square] |= squareAt(file + df, rank + dr);

        // Front spans: the three files (as far as they exist), every rank ahead.
        for (int side = 0; side < 2; ++side) {
            const int direction = side == WHITE ? 1 : -1;
            frontSpan[side][square] = 0;
            for (int r = rank + direction; r >= 0 && r < 8; r += direction)
                for (int df = -1; df <= 1; ++df) frontSpan[side][square] |= squareAt(file + df, r);
        }

        // Backward-pawn tests. "Second rank" and "ahead" are seen from each side.
        for (int side = 0; side < 2; ++side) {
            const int direction = side == WHITE ? 1 : -1;
            const int relativeRank = side == WHITE ? rank : 7 - rank;
            for (int test = 0; test < BACKWARD_TESTS; ++test) {
                backwardOwnMask[test][side][square] = 0;
                backwardEnemyMask[test][side][square] = 0;
            }
            if (relativeRank == 1) {
                // No neighbour beside it, and an enemy pawn two ranks ahead
                // on an adjacent file guards the square in front of it.
                backwardOwnMask[0][side][square] = besideAt(square, 0, direction);
                backwardEnemyMask[0][side][square] = besideAt(square, 2, direction);
                // No neighbour beside it or one rank ahead, and an enemy pawn
                // three ranks ahead on an adjacent file guards the square of its double step.
                backwardOwnMask[1][side][square] = besideAt(square, 0, direction) | besideAt(square, 1, direction);
                backwardEnemyMask[1][side][square] = besideAt(square, 3, direction);
            } else if (relativeRank == 2) {
                // On its third rank, no neighbour beside it or one rank behind,
                // and an enemy pawn two ranks ahead guards the square in front of it.
                backwardOwnMask[2][side][square] = besideAt(square, 0, direction) | besideAt(square, -1, direction);
                backwardEnemyMask[2][side][square] = besideAt(square, 2, direction);
            }
        }
    }

    for (int file = 0; file < 8; ++file) {
        promotionSquare[WHITE][file] = std::uint8_t(56 + file);
        promotionSquare[BLACK][file] = std::uint8_t(file);
    }
}
