// The static evaluation: the value of the position in centipawns from
// White's point of view, a sum of independent terms computed from scratch.
#pragma once

#include "board/board.h"

#include "eval/params.h"

#include <cstddef>
#include <cstdint>

// Builds the masks of the evaluation (king zones, front spans, backward-pawn
// masks, promotion squares). Called once by the start-up code.
void initEvalMasks();

// What the pawns decide among themselves, kept for the structures met
// again: pawn structures recur all over a search tree while the pieces around
// them change. An entry is keyed by both pawn sets in full (and the program
// whose term it holds), so a hit is exactly the recomputation; a slot shared
// by two structures just holds the later one. One per search thread.
class PawnCache {
public:
    struct Entry {
        Bitboard whitePawns = 0;
        Bitboard blackPawns = 0;
        Bitboard passed = 0;
        std::int16_t mg = 0;
        std::int16_t eg = 0;
        bool revised = false;
    };

    PawnCache() { clear(); }
    // Empty again: every entry describes the board without pawns (all sums
    // 0), which is what the standard term computes for it.
    void clear();
    // Test seam: address only the given number of entries (rounded down to a
    // power of two, at most the full size; 1 makes every structure share one
    // slot), or 0 to recompute on every call.
    void setEntries(std::size_t entries);

    Entry& slot(Bitboard whitePawns, Bitboard blackPawns);
    bool on() const { return mask_ != NO_CACHE; }

private:
    static constexpr std::size_t NO_CACHE = ~std::size_t{0};
    Entry entries_[evalparams::PAWN_CACHE_ENTRIES];
    std::size_t mask_ = evalparams::PAWN_CACHE_ENTRIES - 1;
};

// Computed in full, and with what the pawns decide among themselves taken
// from the cache where it holds them; the same value either way.
int evaluate(const Board& board);
int evaluate(const Board& board, PawnCache& cache);
// The evaluation from the side to move's point of view.
inline int evaluateForSideToMove(const Board& board, PawnCache& cache) {
    const int score = evaluate(board, cache);
    return board.sideToMove == WHITE ? score : -score;
}

// 0..256: 256 is full middlegame weight, 0 as soon as one side has only king and pawns.
int getPhase(const Board& board);
// Mixes a middlegame and an endgame value by the phase; truncates toward zero.
inline int blend(int mg, int eg, int phase) { return ((256 - phase) * eg + phase * mg) / 256; }
// Writes the ending code (the caller sets it to 0 first); true for a dead draw.
bool recogniseEnding(const Board& board, int& code);
// King and one pawn against a bare king (codes 6 and 7): true when the rule
// set knows the result, written White-relative to score.
bool probeKpk(const Board& board, int code, int& score);
// The king-and-pawn rule set on squares seen from the side with the pawn, the
// pawn moving up the board. True when the result is known; score is then the
// strong side's value (0 for a draw).
bool kpkRules(Square strongKing, Square pawn, Square weakKing, bool weakSideToMove, int& score);
// The race between unstoppable passers of a pawn ending, from the two sides'
// race counts (RACE_NONE when a side has none). White-relative.
int getUnstoppablePasserScore(int whiteCount, int blackCount);

int getMaterialScore(const Board& board);
int getBadBishopScore(const Board& board, int phase);
int getRookFileScore(const Board& board);
int getMobilityScore(const Board& board, int phase);
int getPawnScore(const Board& board, int phase, PawnCache* cache = nullptr);
int getKingAttackScore(const Board& board, int phase);
// Mobility and king attack together: both read the same attack set of every
// piece, so evaluate() computes them in one pass.
struct PieceActivity {
    int mobility = 0;
    int kingAttack = 0;
};
PieceActivity getPieceActivity(const Board& board, int phase);
int getPawnShieldScore(const Board& board, int phase, bool debug);

// Prints the pawn-shield analysis (phase 256, debug on) inside the board picture.
void printPawnShieldAnalysis(const Board& board);

// Every term of one evaluation, for the "eval" command.
struct EvalBreakdown {
    int phase = 0;
    int endingCode = 0;
    bool drawn = false;      // dead draw recognised: total 0
    bool kpkKnown = false;   // king and pawn against king decided by the rules
    bool halved = false;     // sum halved, material dropped
    int tempo = 0, material = 0, badBishop = 0, rookFiles = 0, mobility = 0;
    int pawns = 0, kingAttack = 0, pawnShield = 0;
    int total = 0;           // exactly what evaluate() returns
};
EvalBreakdown evaluateWithBreakdown(const Board& board);
void printEvalBreakdown(const Board& board);
