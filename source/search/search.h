// The search as the driver sees it. The search never talks to the protocol:
// it reaches input, clock and output only through the SearchHost it is given.
#pragma once

#include "board/board.h"
#include "search/params.h"

#include <cstdint>
#include <cstdlib>

// Scores at least this far from zero are mates: no line of the search is
// longer than MAX_SEARCH_PLY, and a side mated at distance ply from the root
// scores ply - MATE_SCORE. No evaluation comes near.
inline constexpr int MATE_BOUND = MATE_SCORE - search_params::MAX_SEARCH_PLY;
inline bool isMateScore(int score) { return std::abs(score) >= MATE_BOUND && std::abs(score) <= MATE_SCORE; }
// Plies from the root to the mating move (0: the side to move is mated now).
inline int matePlies(int score) { return MATE_SCORE - std::abs(score); }

// The facts of one search report, which the protocol front end turns into
// text: the end of an iteration (no line, or one of several lines), or a new
// best root move with the line it leads to.
struct SearchInfo {
    int depth = 0;
    int selDepth = 0;  // the deepest ply the iteration has reached, quiescence included
    int multiPV = 0;   // the line's number when several lines are reported, else 0
    int score = 0;     // the side to move's view; see isMateScore
    std::uint64_t elapsedMs = 0;
    std::uint64_t nodes = 0;
    int hashfull = -1;  // per mille of the table in use; -1 where not reported
    Colour mover = WHITE;  // the side that plays line[0]
    const Move* line = nullptr;
    int lineLength = 0;
    const CastlingRules* castling = &standardCastling;  // the searched position's, for the text of castling
};

// The search's one door to the driver: input, clock and output. Every
// method but the two polls has a silent default, which is what helper
// threads get: they never stop by themselves and never print.
class SearchHost {
public:
    virtual ~SearchHost() = default;
    // The poll made once in 65,536 made moves inside an iteration (false) and
    // between iterations by the driver (true). Returns true when the search
    // must end.
    virtual bool checkInputAndClock(bool /*betweenIterations*/) { return false; }
    // A cheap clock-only test made more often than the input poll, so that a
    // hard deadline ("movetime", a short clock) is not overrun by a poll interval.
    virtual bool deadlinePassed() { return false; }
    // The nodes other threads have searched so far, for the node budget.
    virtual std::uint64_t otherThreadsNodes() { return 0; }
    // A root move became the new best move of the iteration; info.line
    // begins with it.
    virtual void reportBestLine(const SearchInfo& /*info*/) {}
    // The root begins to search its number-th legal move of the iteration
    // (counted from 1), which the given side plays. Hosts that show progress
    // decide whether the search has run long enough to be worth telling.
    virtual void reportCurrentMove(int /*depth*/, Move /*move*/, Colour /*mover*/, int /*number*/) {}
    // A drawn root ("info string 50 move reached, DRAW!" and the repetition
    // line); printed straight to standard output, not through the protocol channel.
    virtual void reportRootDraw(const char* /*text*/) {}
    // A position that lets a king be taken (damaged, never reached by legal
    // play) was met while ordering the move that takes it.
    virtual void reportKingCapture(const Board& /*board*/, Move /*move*/) {}
};
