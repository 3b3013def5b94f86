#include "eval/tables.h"

#include <initializer_list>

namespace {

// The tables below are written as one looks at the board from White's side:
// rank 8 in the first row, rank 1 in the last. This turns such a picture into
// a square-indexed table (a1 = 0).
constexpr SquareTable fromPrinted(const SquareTable& printed) {
    SquareTable table{};
    for (int square = 0; square < 64; ++square) table[square] = printed[square ^ 56];
    return table;
}

constexpr SquareTable makeMirrorTable() {
    SquareTable table{};
    for (int square = 0; square < 64; ++square) table[square] = square ^ 56;
    return table;
}

constexpr SquareTable makeFileTable() {
    SquareTable table{};
    for (int square = 0; square < 64; ++square) table[square] = square & 7;
    return table;
}

}  // namespace

constexpr SquareTable mirrorSquare = makeMirrorTable();
constexpr SquareTable fileOfSquare = makeFileTable();

// ---------------------------------------------------------------------------
// Piece-square tables in centipawns. The first three serve both programs; the
// king, pawn and passed-pawn tables come in two sets, the second one for the
// revised pawn term of ostrel32.
// ---------------------------------------------------------------------------

constexpr SquareTable knightTableMg = fromPrinted({
     -30,   -8,   -6,   -5,   -5,   -6,   -8,  -30,   // rank 8
      -3,    0,    3,    5,    5,    3,    0,   -3,   // rank 7
      -3,    3,    8,   10,   10,    8,    3,   -3,   // rank 6
      -3,    0,    3,    5,    5,    3,    0,   -3,   // rank 5
      -3,    0,    3,    5,    5,    3,    0,   -3,   // rank 4
      -3,    0,    5,    3,    3,    5,    0,   -3,   // rank 3
      -8,   -7,   -3,    0,    0,   -3,   -7,   -8,   // rank 2
     -30,   -8,   -6,   -5,   -5,   -6,   -8,  -30,   // rank 1
});

constexpr SquareTable knightTableEg = fromPrinted({
     -30,  -28,  -28,  -28,  -28,  -28,  -28,  -30,   // rank 8
     -28,  -22,  -18,  -15,  -15,  -18,  -22,  -28,   // rank 7
     -28,  -15,    5,    3,    3,    5,  -15,  -28,   // rank 6
     -28,  -15,    3,   10,   10,    3,  -15,  -28,   // rank 5
     -28,  -15,    3,   10,   10,    3,  -15,  -28,   // rank 4
     -28,  -15,    5,    3,    3,    5,  -15,  -28,   // rank 3
     -28,  -22,  -18,  -15,  -15,  -18,  -22,  -28,   // rank 2
     -30,  -28,  -28,  -28,  -28,  -28,  -28,  -30,   // rank 1
});

constexpr SquareTable bishopTable = fromPrinted({
      -1,   -1,   -1,   -1,   -1,   -1,   -1,   -1,   // rank 8
       0,    1,    0,    0,    0,    0,    1,    0,   // rank 7
       0,    0,    1,    1,    1,    1,    0,    0,   // rank 6
       0,    0,    1,    2,    2,    1,    0,    0,   // rank 5
       0,    0,    1,    2,    2,    1,    0,    0,   // rank 4
       0,    0,    1,    1,    1,    1,    0,    0,   // rank 3
       0,    1,    0,    0,    0,    0,    1,    0,   // rank 2
      -1,   -1,   -1,   -1,   -1,   -1,   -1,   -1,   // rank 1
});

constexpr SquareTable kingTableMg = fromPrinted({
    -140, -140, -140, -140, -140, -140, -140, -140,   // rank 8
    -130, -130, -130, -130, -130, -130, -130, -130,   // rank 7
    -120, -120, -120, -120, -120, -120, -120, -120,   // rank 6
    -110, -110, -110, -110, -110, -110, -110, -110,   // rank 5
    -100, -100, -100, -100, -100, -100, -100, -100,   // rank 4
     -50,  -50,  -50,  -60,  -60,  -50,  -50,  -50,   // rank 3
     -10,  -10,  -10,  -10,  -10,  -10,  -10,  -10,   // rank 2
      30,   30,   10,  -10,  -10,   10,   30,   30,   // rank 1
});

constexpr SquareTable kingTableEg = fromPrinted({
       0,    8,   16,   24,   24,   16,    8,    0,   // rank 8
       8,   24,   32,   64,   64,   32,   24,    8,   // rank 7
      16,   32,   64,   96,   96,   64,   32,   16,   // rank 6
      24,   64,   96,  128,  128,   96,   64,   24,   // rank 5
      24,   64,   96,  128,  128,   96,   64,   24,   // rank 4
      16,   32,   64,   96,   96,   64,   32,   16,   // rank 3
       8,   24,   32,   64,   64,   32,   24,    8,   // rank 2
       0,    8,   16,   24,   24,   16,    8,    0,   // rank 1
});

constexpr SquareTable pawnTableMg = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 7
     -11,    4,   12,   36,   36,   12,    4,  -11,   // rank 6
     -12,    3,   11,   33,   33,   11,    3,  -12,   // rank 5
     -13,    2,   10,   30,   30,   10,    2,  -13,   // rank 4
     -14,    1,    6,   20,   20,    6,    1,  -14,   // rank 3
     -15,    0,    2,    5,    5,    2,    0,  -15,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

constexpr SquareTable pawnTableEg = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 7
      -1,   14,   22,   37,   37,   22,   14,   -1,   // rank 6
      -4,   11,   19,   34,   34,   19,   11,   -4,   // rank 5
      -7,    8,   16,   31,   31,   16,    8,   -7,   // rank 4
     -10,    5,   10,   19,   19,   10,    5,  -10,   // rank 3
     -13,    2,    7,   12,   12,    7,    2,  -13,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

constexpr SquareTable passedTableMg = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
      25,   40,   40,   40,   40,   40,   40,   25,   // rank 7
      15,   30,   35,   35,   35,   35,   30,   15,   // rank 6
      10,   20,   25,   30,   30,   25,   20,   10,   // rank 5
      -5,   19,   24,   29,   29,   24,   19,   -5,   // rank 4
      -2,   17,   22,   27,   27,   22,   17,   -2,   // rank 3
       0,   15,   20,   25,   25,   20,   15,    0,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

constexpr SquareTable passedTableEg = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
      35,   50,   50,   50,   50,   50,   50,   35,   // rank 7
      22,   37,   42,   47,   47,   42,   37,   22,   // rank 6
      19,   34,   39,   44,   44,   39,   34,   19,   // rank 5
      16,   31,   36,   41,   41,   36,   31,   16,   // rank 4
      13,   28,   33,   38,   38,   33,   28,   13,   // rank 3
      10,   25,   30,   35,   35,   30,   25,   10,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

constexpr SquareTable kingTableMgRevised = fromPrinted({
    -140, -140, -140, -140, -140, -140, -140, -140,   // rank 8
    -130, -130, -130, -130, -130, -130, -130, -130,   // rank 7
    -120, -120, -120, -120, -120, -120, -120, -120,   // rank 6
    -110, -110, -110, -110, -110, -110, -110, -110,   // rank 5
    -100, -100, -100, -100, -100, -100, -100, -100,   // rank 4
     -50,  -50,  -50,  -60,  -60,  -50,  -50,  -50,   // rank 3
      20,   20,  -10,  -10,  -10,  -10,   20,   20,   // rank 2
      20,   30,    0,  -10,  -10,    0,   30,   20,   // rank 1
});

constexpr SquareTable kingTableEgRevised = fromPrinted({
     -72,  -48,  -36,  -24,  -24,  -36,  -48,  -72,   // rank 8
     -48,  -24,  -12,    0,    0,  -12,  -24,  -48,   // rank 7
     -36,  -12,    0,   12,   12,    0,  -12,  -36,   // rank 6
     -24,    0,   12,   24,   24,   12,    0,  -24,   // rank 5
     -24,    0,   12,   24,   24,   12,    0,  -24,   // rank 4
     -36,  -12,    0,   12,   12,    0,  -12,  -36,   // rank 3
     -48,  -24,  -12,    0,    0,  -12,  -24,  -48,   // rank 2
     -72,  -48,  -36,  -24,  -24,  -36,  -48,  -72,   // rank 1
});

constexpr SquareTable pawnTableMgRevised = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 7
     -11,   -1,    4,   10,   10,    4,   -1,  -11,   // rank 6
     -12,   -2,    3,   15,   15,    3,   -2,  -12,   // rank 5
     -13,   -3,    2,   25,   25,    2,   -3,  -13,   // rank 4
     -14,   -4,    1,   15,   15,    1,   -4,  -14,   // rank 3
     -15,   -5,    0,    5,    5,    0,   -5,  -15,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

constexpr SquareTable passedTableMgRevised = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
      70,   75,   75,   75,   75,   75,   75,   70,   // rank 7
      55,   65,   65,   65,   65,   65,   65,   55,   // rank 6
      25,   30,   30,   38,   38,   30,   30,   25,   // rank 5
      12,   15,   15,   35,   35,   15,   15,   12,   // rank 4
       7,   10,   10,   25,   25,   10,   10,    7,   // rank 3
       7,   10,   10,   10,   10,   10,   10,    7,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

// Rank 5 is not symmetric between the a- and h-files (50 against 60); kept as tuned.
constexpr SquareTable passedTableEgRevised = fromPrinted({
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 8
     140,  150,  150,  150,  150,  150,  150,  140,   // rank 7
     110,  120,  120,  120,  120,  120,  120,  110,   // rank 6
      50,   60,   60,   60,   60,   60,   60,   60,   // rank 5
      25,   30,   30,   30,   30,   30,   30,   25,   // rank 4
      15,   20,   20,   20,   20,   20,   20,   15,   // rank 3
      15,   20,   20,   20,   20,   20,   20,   15,   // rank 2
       0,    0,    0,    0,    0,    0,    0,    0,   // rank 1
});

// The revised pawn term gives no end-game value to a pawn's square unless it is passed.
constexpr SquareTable pawnTableEgRevised{};

constexpr PawnTermTables standardPawnTermTables = {
    &kingTableMg, &kingTableEg, &pawnTableMg, &pawnTableEg, &passedTableMg, &passedTableEg,
};
constexpr PawnTermTables revisedPawnTermTables = {
    &kingTableMgRevised,   &kingTableEgRevised,   &pawnTableMgRevised,
    &pawnTableEgRevised,   &passedTableMgRevised, &passedTableEgRevised,
};

// ---------------------------------------------------------------------------
// Count-indexed tables
// ---------------------------------------------------------------------------

// Rooks gain as pawns come off (open lines), knights lose (fewer outposts).
constexpr std::array<int, MAX_PAWNS + 1> rookPawnAdjust = {63, 50, 38, 25, 13, 0, -13, -25, -38};
constexpr std::array<int, MAX_PAWNS + 1> knightPawnAdjust = {-31, -26, -19, -13, -6, 0, 6, 13, 19};

constexpr std::array<int, 8> raceBonus = {9999, 110, 300, 400, 600, 600, 600, 600};
constexpr std::array<int, 8> kpkBase = {9999, 725, 750, 775, 800, 825, 850, 900};

constexpr std::array<Bitboard, 2> parityMasks = {0xAAAAAAAAAAAAAAAAULL, 0x5555555555555555ULL};

// ---------------------------------------------------------------------------
// Pawn-shield sets. Each pattern is written once for White's short wing; the
// long wing is its left-right reflection and Black's wings are the top-bottom
// reflections of White's. The castled areas are written out, since they are
// not reflections of each other (White short holds f1, Black short f7).
// ---------------------------------------------------------------------------

namespace {

enum : int { A1 = 0, B1, C1, D1, E1, F1, G1, H1, A2, B2, C2, D2, E2, F2, G2, H2, A3, B3, C3, D3, E3, F3, G3, H3 };
enum : int { A7 = 48, B7, C7, D7, E7, F7, G7, H7, A8, B8, C8, D8, E8, F8, G8, H8 };

constexpr Bitboard setOf(std::initializer_list<int> squares) {
    Bitboard set = 0;
    for (int square : squares) set |= Bitboard{1} << square;
    return set;
}

// File a <-> h, b <-> g, ...
constexpr Bitboard reflectFiles(Bitboard set) {
    Bitboard result = 0;
    for (int square = 0; square < 64; ++square)
        if (set & (Bitboard{1} << square)) result |= Bitboard{1} << (square ^ 7);
    return result;
}

// Rank 1 <-> 8, 2 <-> 7, ...
constexpr Bitboard reflectRanks(Bitboard set) {
    Bitboard result = 0;
    for (int square = 0; square < 64; ++square)
        if (set & (Bitboard{1} << square)) result |= Bitboard{1} << (square ^ 56);
    return result;
}

// One set given for White's short wing, spread over the four wings.
constexpr WingSets fromShortWing(Bitboard whiteShort) {
    const Bitboard whiteLong = reflectFiles(whiteShort);
    return {whiteShort, whiteLong, reflectRanks(whiteShort), reflectRanks(whiteLong)};
}

}  // namespace

constexpr WingSets castledArea = {
    setOf({F1, G1, H1, G2, H2}),
    setOf({A1, B1, A2, B2, C2}),
    setOf({G8, H8, F7, G7, H7}),
    setOf({A8, B8, A7, B7, C7}),
};
constexpr WingSets shieldD = fromShortWing(setOf({F2, G2, H2}));
constexpr WingSets shieldF = fromShortWing(setOf({F2, G2, H3}));
constexpr WingSets shieldE = fromShortWing(setOf({F2, G2}));
constexpr WingSets shieldC = fromShortWing(setOf({G2, H2}));
constexpr WingSets shieldB = fromShortWing(setOf({G2, H3}));
constexpr WingSets shieldA = fromShortWing(setOf({F2, H2, G3}));
constexpr WingSets shieldG = fromShortWing(setOf({F2, G3, H3}));
constexpr WingSets shieldI = fromShortWing(setOf({G2}));
constexpr WingSets shieldMinorSquares = fromShortWing(setOf({F1, F3, G3, H3}));
constexpr WingSets shieldABishopSquares = fromShortWing(setOf({F1, H1, G2, F3, H3}));
constexpr WingSets shieldGBishopSquare = fromShortWing(setOf({G2}));

// A few fixed points of the reflections, checked when the program is built.
static_assert(shieldD[WHITE_LONG] == setOf({A2, B2, C2}));
static_assert(shieldG[WHITE_LONG] == setOf({C2, A3, B3}));
static_assert(shieldMinorSquares[WHITE_LONG] == setOf({C1, A3, B3, C3}));
static_assert(shieldI[BLACK_SHORT] == setOf({G7}));
static_assert(shieldA[BLACK_LONG] == (setOf({A7, C7}) | (Bitboard{1} << 41)));  // a7, c7, b6
