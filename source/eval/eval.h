// The static evaluation: the value of the position in centipawns from
// White's point of view, a sum of independent terms computed from scratch.
#pragma once

#include "board/board.h"

#include <cstddef>

// Builds the masks of the evaluation (king zones, front spans, backward-pawn
// masks, promotion squares). Called once by the start-up code.
void initEvalMasks();

int evaluate(const Board& board);

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
int getPawnScore(const Board& board, int phase);
// The pawn term keeps what the pawns decide among themselves in a cache of
// fixed size. Test seam: address only the given number of entries (rounded
// down to a power of two, at most the full size; 1 makes every structure
// share one slot), or 0 to recompute on every call.
void setPawnCacheEntries(std::size_t entries);
// Empties the pawn cache, as at start.
void clearPawnCache();
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
