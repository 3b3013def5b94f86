// The evaluation driver, the game phase, the ending recogniser and the terms
// for material, bishop/pawn file parity, rooks on files and mobility.
#include "eval/eval.h"

#include "board/attacks.h"
#include "eval/params.h"
#include "eval/tables.h"

#include <algorithm>
#include <array>
#include <cstdio>

using namespace evalparams;

namespace {

constexpr int signOf(int side) { return side == WHITE ? 1 : -1; }

// ---------------------------------------------------------------------------
// Ending recogniser
// ---------------------------------------------------------------------------

// What one side has besides its king, as far as the recogniser cares.
enum MenSet : int {
    NO_MEN,
    ONE_PAWN,
    ONE_KNIGHT,
    ONE_BISHOP,
    ONE_ROOK,
    ONE_QUEEN,
    TWO_KNIGHTS,
    BISHOP_AND_PAWN,
    KNIGHT_AND_PAWN,
    OTHER_MEN,
    MEN_SET_COUNT
};

MenSet menSetOf(const Board& board, Colour side) {
    const std::uint32_t* count = board.pieceCount[side];
    const std::uint32_t pawns = count[PAWN], knights = count[KNIGHT], bishops = count[BISHOP];
    const std::uint32_t rooks = count[ROOK], queens = count[QUEEN];
    const std::uint32_t total = pawns + knights + bishops + rooks + queens;
    if (total == 0) return NO_MEN;
    if (total == 1) {
        if (pawns) return ONE_PAWN;
        if (knights) return ONE_KNIGHT;
        if (bishops) return ONE_BISHOP;
        if (rooks) return ONE_ROOK;
        return ONE_QUEEN;
    }
    if (total == 2) {
        if (knights == 2) return TWO_KNIGHTS;
        if (pawns == 1 && bishops == 1) return BISHOP_AND_PAWN;
        if (pawns == 1 && knights == 1) return KNIGHT_AND_PAWN;
    }
    return OTHER_MEN;
}

struct EndingEntry {
    MenSet white, black;
    int code;
    bool draw;
};

// Every configuration the recogniser knows; anything else gives code 0.
constexpr EndingEntry endingEntries[] = {
    {NO_MEN, NO_MEN, 1, true},
    {ONE_BISHOP, NO_MEN, 2, true},
    {NO_MEN, ONE_BISHOP, 3, true},
    {ONE_KNIGHT, NO_MEN, 4, true},
    {NO_MEN, ONE_KNIGHT, 5, true},
    {ONE_PAWN, NO_MEN, 6, false},
    {NO_MEN, ONE_PAWN, 7, false},
    {ONE_QUEEN, ONE_PAWN, 9, false},
    {ONE_PAWN, ONE_QUEEN, 10, false},
    {ONE_ROOK, ONE_PAWN, 12, false},
    {ONE_PAWN, ONE_ROOK, 13, false},
    {ONE_BISHOP, ONE_PAWN, 15, false},
    {ONE_PAWN, ONE_BISHOP, 16, false},
    {BISHOP_AND_PAWN, NO_MEN, 17, false},
    {NO_MEN, BISHOP_AND_PAWN, 18, false},
    {ONE_KNIGHT, ONE_PAWN, 20, false},
    {ONE_PAWN, ONE_KNIGHT, 21, false},
    {KNIGHT_AND_PAWN, NO_MEN, 22, false},
    {NO_MEN, KNIGHT_AND_PAWN, 23, false},
    {TWO_KNIGHTS, ONE_PAWN, 28, false},
    {ONE_PAWN, TWO_KNIGHTS, 29, false},
    {TWO_KNIGHTS, NO_MEN, 30, true},
    {NO_MEN, TWO_KNIGHTS, 31, true},
};

// The same entries as a [white][black] table; a negative code marks a draw.
using EndingTable = std::array<std::array<int, MEN_SET_COUNT>, MEN_SET_COUNT>;
constexpr EndingTable makeEndingTable() {
    EndingTable table{};
    for (const EndingEntry& entry : endingEntries) table[entry.white][entry.black] = entry.draw ? -entry.code : entry.code;
    return table;
}
constexpr EndingTable endingTable = makeEndingTable();

// Endings where the side with the single minor piece (or the two knights)
// cannot win against the lone pawn: material is dropped and the rest halved.
bool isHalvingCode(int code) {
    return code == 15 || code == 16 || code == 20 || code == 21 || code == 28 || code == 29;
}

// ---------------------------------------------------------------------------
// The driver, shared by evaluate() and the breakdown of the "eval" command so
// that the two can never disagree. With Breakdown false every bookkeeping line
// disappears at compile time.
// ---------------------------------------------------------------------------
template <bool Breakdown>
int evaluatePosition(const Board& board, EvalBreakdown* parts, PawnCache* cache) {
    // Step 1: the phase, handed to every term that blends.
    const int phase = getPhase(board);
    if constexpr (Breakdown) parts->phase = phase;

    // Step 2: endings without pieces. Dead draws need nothing else.
    int code = 0;
    if (phase == 0 && recogniseEnding(board, code)) {
        if constexpr (Breakdown) {
            parts->endingCode = code;
            parts->drawn = true;
            parts->total = 0;
        }
        return 0;
    }
    if constexpr (Breakdown) parts->endingCode = code;

    // Step 3: tempo for the side to move (0 in pawn endings).
    int tempo = (TEMPO * phase) / PHASE_MAX;
    if (board.sideToMove == BLACK) tempo = -tempo;
    int sum = tempo;
    if constexpr (Breakdown) parts->tempo = tempo;

    // Step 4: a lone pawn against a lone king; a known result is final.
    if (code == 6 || code == 7) {
        int kpkScore = 0;
        if (probeKpk(board, code, kpkScore)) {
            if constexpr (Breakdown) {
                parts->kpkKnown = true;
                parts->tempo = 0;
                parts->total = kpkScore;
            }
            return kpkScore;
        }
    }

    // Step 5: material, unless the ending makes it meaningless.
    const bool halve = isHalvingCode(code);
    if (!halve) {
        const int material = getMaterialScore(board);
        sum += material;
        if constexpr (Breakdown) parts->material = material;
    }
    if constexpr (Breakdown) parts->halved = halve;

    // Step 6: the positional terms, in a fixed order.
    const int badBishop = getBadBishopScore(board, phase);
    const int rookFiles = getRookFileScore(board);
    const PieceActivity activity = getPieceActivity(board, phase);
    const int mobility = activity.mobility;
    const int pawns = getPawnScore(board, phase, cache);
    const int kingAttack = activity.kingAttack;
    // Pawn shields mean nothing once one side has no pieces to attack with.
    const int pawnShield = phase != 0 ? getPawnShieldScore(board, phase, false) : 0;
    sum += badBishop + rookFiles + mobility + pawns + kingAttack + pawnShield;
    if constexpr (Breakdown) {
        parts->badBishop = badBishop;
        parts->rookFiles = rookFiles;
        parts->mobility = mobility;
        parts->pawns = pawns;
        parts->kingAttack = kingAttack;
        parts->pawnShield = pawnShield;
    }

    // Step 7: the drawish minor-piece endings count half.
    const int total = halve ? sum / 2 : sum;
    if constexpr (Breakdown) parts->total = total;
    return total;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public entry points
// ---------------------------------------------------------------------------

int evaluate(const Board& board) { return evaluatePosition<false>(board, nullptr, nullptr); }

int evaluate(const Board& board, PawnCache& cache) { return evaluatePosition<false>(board, nullptr, &cache); }

EvalBreakdown evaluateWithBreakdown(const Board& board) {
    EvalBreakdown parts;
    evaluatePosition<true>(board, &parts, nullptr);
    return parts;
}

void printEvalBreakdown(const Board& board) {
    const EvalBreakdown parts = evaluateWithBreakdown(board);
    std::printf("Evaluation, centipawns from White's side\n");
    std::printf("  phase          %6d  (0: a side has only king and pawns; 256: full middlegame)\n", parts.phase);
    std::printf("  ending code    %6d\n", parts.endingCode);
    if (parts.drawn) {
        std::printf("  dead draw recognised: no term is computed\n");
    } else if (parts.kpkKnown) {
        std::printf("  king and pawn against king decided by the rules: no term is computed\n");
    } else {
        std::printf("  tempo          %6d\n", parts.tempo);
        if (parts.halved)
            std::printf("  material       %6s  (dropped: this ending counts half)\n", "-");
        else
            std::printf("  material       %6d\n", parts.material);
        std::printf("  bishop parity  %6d\n", parts.badBishop);
        std::printf("  rook files     %6d\n", parts.rookFiles);
        std::printf("  mobility       %6d\n", parts.mobility);
        std::printf("  pawns          %6d  (piece squares, pawn structure, passers, race)\n", parts.pawns);
        std::printf("  king attack    %6d\n", parts.kingAttack);
        if (parts.phase == 0)
            std::printf("  pawn shield    %6s  (not counted at phase 0)\n", "-");
        else
            std::printf("  pawn shield    %6d\n", parts.pawnShield);
        if (parts.halved) std::printf("  sum halved\n");
    }
    std::printf("Total: %d\n", parts.total);
    std::fflush(stdout);
}

int getPhase(const Board& board) {
    int phase = PHASE_MAX;
    for (int side = 0; side < 2; ++side) {
        const std::uint32_t* count = board.pieceCount[side];
        const int pieces = int(count[KNIGHT] + count[BISHOP] + count[ROOK] + PHASE_QUEEN_FACTOR * count[QUEEN]);
        phase = std::min(phase, PHASE_PER_PIECE * pieces);
    }
    return phase;
}

bool recogniseEnding(const Board& board, int& code) {
    const int entry = endingTable[menSetOf(board, WHITE)][menSetOf(board, BLACK)];
    if (entry == 0) return false;
    code = entry < 0 ? -entry : entry;
    return entry < 0;
}

int getMaterialScore(const Board& board) {
    int score = int(board.material[WHITE]) - int(board.material[BLACK]);
    for (int side = 0; side < 2; ++side) {
        const std::uint32_t* count = board.pieceCount[side];
        // A legal position has at most eight pawns a side; the clamp only keeps
        // a damaged board from reading past the tables.
        const int pawns = std::min<int>(int(count[PAWN]), MAX_PAWNS);
        const int knights = int(count[KNIGHT]), bishops = int(count[BISHOP]), rooks = int(count[ROOK]);
        int adjust = rookPawnAdjust[pawns] * rooks + knightPawnAdjust[pawns] * knights;
        if (bishops == 2) adjust += BISHOP_PAIR;
        if (rooks > 1) adjust -= ROOK_PAIR_PENALTY;
        if (knights > 1) adjust -= KNIGHT_PAIR_PENALTY;
        score += signOf(side) * adjust;
    }
    return score;
}

int getBadBishopScore(const Board& board, int phase) {
    int mg = 0, eg = 0;
    for (int side = 0; side < 2; ++side) {
        const Bitboard bishops = board.pieces(Colour(side), BISHOP);
        const Bitboard pawns = board.pieces(Colour(side), PAWN);
        for (const Bitboard mask : parityMasks) {
            if (!(bishops & mask)) continue;
            // Own pawns on the bishop's files get in its way.
            const int n = popCount(pawns & mask);
            mg -= signOf(side) * PARITY_PAWN_MG * n;
            eg -= signOf(side) * PARITY_PAWN_EG * n;
        }
    }
    return blend(mg, eg, phase);
}

namespace {

// The files (as a set of whole files) on which the set has a man.
Bitboard filesOf(Bitboard set) {
    set |= set >> 8;
    set |= set >> 16;
    set |= set >> 32;
    return (set & 0xFF) * FILE_A_SET;
}

}  // namespace

int getRookFileScore(const Board& board) {
    const Bitboard whiteFiles = filesOf(board.pieces(WHITE, PAWN)), blackFiles = filesOf(board.pieces(BLACK, PAWN));
    const Bitboard whiteRooks = board.pieces(WHITE, ROOK), blackRooks = board.pieces(BLACK, ROOK);
    // Open files for both; a file with pawns of one colour only is half open
    // for the other colour's rooks.
    const Bitboard open = ~(whiteFiles | blackFiles);
    return ROOK_OPEN_FILE * (popCount(whiteRooks & open) - popCount(blackRooks & open)) +
           ROOK_HALF_OPEN_FILE * (popCount(whiteRooks & blackFiles & ~whiteFiles) -
                                  popCount(blackRooks & whiteFiles & ~blackFiles));
}
